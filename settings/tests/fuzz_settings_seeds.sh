# Seeds of the settings fuzz target: a device table with a gap and a make
# of its own, a format header with a huge extra size, genre display digits,
# numbers out of range, read-method flags and a file-manager section.
printf '\x01[Common]\r\nUseCDROM=3\r\nDeviceCount=2\r\n[DEVICES_0]\r\nDriveMaker=SONY\r\nHostAdapter=1\r\nTarget=0\r\nLun=0\r\n[DEVICES_2]\r\nDriveMaker=x\r\n' > devices
printf '\x00[Format]\r\nFormatHeader=55000200441AC0000A0860100040010000C000100\r\nFormatTag=x\r\n[Common]\r\nWindowWidth=99999999999\r\n' > format
printf '\x00[MP3]\r\nDispGenres=FFFFzz0123456789abcdefFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\r\nBitRate=-5\r\n[ID3TAG]\r\nFileNameSelect=9\r\n' > genres
printf '\x01[Common]\r\nReadMethodFlags=101010101\r\nCheckBox21=Yes\r\n[Filer]\r\nExt0=.wav\r\n' > flags
