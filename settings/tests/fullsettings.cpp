#include "settings/tests/fullsettings.h"

#include <filesystem>
#include <fstream>
#include <sstream>

std::string FullSettingsText(const TFullSettingsPaths& p) {
    std::string t;
    t += "[Common]\r\n"
         "ReadBlock=26\r\nSpinMultiple=8\r\nUseCDROM=1\r\n"
         "WindowTop=33\r\nWindowLeft=-20\r\nCDPWindowTop=120\r\nCDPWindowLeft=240\r\n"
         "WindowHeight=555\r\nWindowWidth=777\r\nDirViewWidth=150\r\nTrackViewHeight=222\r\n"
         "SubThreadPriority=1\r\nMemoryUseRatio=20\r\nPrefetchSize=4\r\nSelectReadMode=2\r\n"
         "TrColW0=31\r\nTrColW1=32\r\nTrColW2=33\r\nTrColW3=34\r\nTrColW4=35\r\nTrColW5=36\r\nTrColW6=37\r\n"
         "ListViewPattern=LargeIcon\r\nSortPattern=Size\r\nSortDir=Reverse\r\n"
         "ChangeSpin=Yes\r\nResetDevice=Yes\r\nCheckNullArea=Yes\r\nCheckNullAreaEnd=Yes\r\n"
         "CheckDiskFreeSpace=No\r\nUseWaveMonitor=Yes\r\nUseDeEmph=No\r\n"
         "DispToolBar=No\r\nDispPlayPanel=No\r\nIsDispSplash=No\r\nDigitalPlayZC=Yes\r\nReadWait=Yes\r\n"
         "SwapRLChannel=Yes\r\nBootSpinUp=Yes\r\nUseMSCDEX=No\r\nUsePoring=Yes\r\nDispResult=Yes\r\n"
         "DispLevelMeter=No\r\nUseMultiThreadWrite=No\r\nCheckNullAsReadError=Yes\r\nChangeTrackWait=Yes\r\n"
         "AutoRefreshTrackList=No\r\nUseClassDriver=No\r\nUseWaveDevice=Out: default\r\nRecordingLevel=150\r\n"
         "WorkingDir=" + p.WorkDir + "\r\nMaxRetry=10\r\nWaitTime=120\r\n"
         "CurrentPath=" + p.WorkDir + "\r\nLanguage=JAPANESE\r\nDefEncode=VQF\r\n";
    t += "[MP3]\r\n"
         "DispGenres=FFFFFFFF0000000000000000000000000000000000000000000000000000000F\r\n"
         "OutputLayerType=1\r\nMP3DeEmph=No\r\nEncodeType=OTHER\r\nExtCmdType=2\r\n"
         "Encoder=" + p.Player + "\r\nUseOriginalOption=Yes\r\nUseAdditionalOption=Yes\r\nUseStdin=Yes\r\n"
         "OptionString=-q 2 -v\r\nBitRate=192KB\r\nCRCCheck=Yes\r\nHighQuality=Yes\r\nVBREncode=Yes\r\n"
         "UseMediaPlayer=No\r\nGogoMMX=No\r\nGogo3DNow=Yes\r\nGogoExt3DNow=Yes\r\nGogoSSE=Yes\r\n"
         "GogoMultiCPU=Yes\r\nGogoLPF=No\r\nGogoPsy=Yes\r\nGogoVBRLevel=7\r\nGogoPriority=1\r\n"
         "GogoChannel=MSSTEREO\r\nGogoAdvFilter=Yes\r\nGogoAdvVBRSet=Yes\r\nGogoAdvJSSet=Yes\r\n"
         "GogoForceSameFreq=Yes\r\nGogoMaxVBR=256K\r\nGogoMinVBR=64K\r\nGogoMinFilter=11\r\n"
         "GogoHighFilter=88\r\nGogoMSThs=44\r\nGogoBitrateDiff=66\r\nGogoFormatType=RMP\r\n";
    // PCM, 1 channel, 22050 Hz, 44100 bytes/s, align 2, 16 bits.
    t += "[Format]\r\nFormatTag=PCM\r\nFormatBody=22.050 kHz, 16 Bit, Mono\r\n"
         "FormatHeader=010001002256000044880000020010000000\r\nMakeMP3File=Yes\r\nOutputType=WMT\r\n";
    t += "[WMT]\r\nBitRate=64KB\r\nSamplingRate=22050HZ\r\nChannel=Monoral\r\n";
    t += "[VQF]\r\nBitRate=80KB\r\nQuality=4\r\n";
    t += "[Normalize]\r\nMethod=1\r\nLevel=8123\r\nAllowPeakOver=Yes\r\nFixPeakOver=Yes\r\nExecute=Yes\r\n";
    t += "[ID3TAG]\r\nFoldernameSelect=0\r\nFilenameSelect=3\r\nFilenameEdit=%N-%T-%R\r\n"
         "FoldernameEdit=%G_%L\r\nID3TagAlbumDir=" + p.AlbumDir + "\r\nID3TagFilenameSet=No\r\n"
         "ID3TagCreateFolder=Yes\r\nRefreshWithCDDB=Yes\r\nCDDBafterAllSel=Yes\r\nID3TagWriteMode=1\r\n";
    t += "[CDDB]\r\nAutoCDDBConnect=Yes\r\nServerName=cddb.example.net\r\n";
    t += "[Pellora]\r\nUseSendStatus=Yes\r\nIPAddress=192.168.1.9\r\nPort=12000\r\n";
    t += "[Filer]\r\nIsDispCDROM=No\r\nChangeBootDir=Yes\r\nBootDir=" + p.BootDir + "\r\nAutoRefresh=No\r\n"
         "DispAllExts=0\r\nDispExt1=.FLAC\r\nDispExt2=.OGG\r\n"
         "UsePlayer=" + p.Player + "\r\nUseEditor=" + p.Editor + "\r\n";
    t += "[NormalRead]\r\nVerify=Yes\r\nUseSeekCmd=Yes\r\nWriteCache=Yes\r\n";
    t += "[ZitterCollectionRead]\r\nVerify=Yes\r\nUseSeekCmd=No\r\nWriteCache=Yes\r\n";
    t += "[2PassZitterCollectionRead]\r\nVerify=Yes\r\nUseSeekCmd=Yes\r\nExecDummyRead=No\r\n";
    t += "[HispeedBurstRead]\r\nVerify=Yes\r\nCheckError=Yes\r\nErrorNoWrite=Yes\r\n";
    t += "[Genre]\r\nFG3=Mein Jazz\r\nFG200=Eigene\r\n";
    t += "[EncodeForm]\r\nLeft=10\r\n";
    // Entry 1 is selected; entry 0 is not and has a command other than the
    // one a drive of its make would be guessed to have.
    t += "[DEVICES_0]\r\nAdapter=0\r\nTarget=5\r\nDriveMaker=SCSI3\r\nEnabled=No\r\nDriveType=CDR\r\n"
         "IgnoreTargetStat=1\r\nDeviceName=OTHER DRIVE\r\nClassDrvInfo=0\r\nPortNumber=-1\r\n";
    t += "[DEVICES_1]\r\nAdapter=0\r\nTarget=1\r\nDriveMaker=EXTEND\r\nEnabled=Yes\r\nDriveType=CD-ROM\r\n"
         "IgnoreTargetStat=0\r\nClassDrvInfo=0\r\nPortNumber=-1\r\n";
    return t;
}

TFullSettingsPaths MakeFullSettingsPaths(const std::string& root) {
    TFullSettingsPaths p{root + "work\\", root + "albums", root + "boot\\", root + "play.exe", root + "edit.exe"};
    std::error_code ec;
    for (const char* dir : {"work", "albums", "boot"}) std::filesystem::create_directory(root + dir, ec);
    std::ofstream(p.Player) << "x";
    std::ofstream(p.Editor) << "x";
    return p;
}

std::vector<std::string> SectionsOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] == '[') out.push_back(line.substr(1, line.find(']') - 1));
    return out;
}
