// The class-driver transport over emulated device I/O: the drive table scan,
// execution on a handle, the rip device and its overlapped handles, and
// malformed driver answers.
#include <gtest/gtest.h>

#include <cstring>

#include "extraction/ClassDrv.h"
#include "extraction/DriveCmds.h"
#include "extraction/TrackTable.h"
#include "extraction/Transport.h"
#include "standins/mmcdrive/EmuDeviceIo.h"
#include "standins/tests/TestImage.h"

using namespace wx;
using namespace wx::emu;

namespace {

struct ClassDrvFixture : ::testing::Test {
    testimg::TempDir dir;
    std::shared_ptr<Disc> disc;
    EmuDeviceIo io;

    void SetUp() override {
        testimg::WriteBin(dir.File("d.bin"), 300);
        testimg::WriteText(dir.File("d.cue"), "FILE \"d.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
        std::string err;
        disc = Disc::LoadCue(dir.File("d.cue"), {}, err);
        ASSERT_TRUE(disc) << err;
        ClassDrvResetForTest();
        SetDeviceIo(&io);
    }
    void TearDown() override {
        ClassDrvResetForTest();
        SetDeviceIo(nullptr);
    }
    std::shared_ptr<MmcDrive> Drive(const char* personality) {
        Personality p;
        PersonalityByName(personality, p);
        auto d = std::make_shared<MmcDrive>(p);
        d->Load(disc);
        return d;
    }
    EmuLetter& Add(char letter, const char* personality, std::uint8_t port, std::uint8_t target,
                   std::uint8_t lun = 0) {
        EmuLetter l;
        l.letter = letter;
        l.drive = Drive(personality);
        l.port = port;
        l.target = target;
        l.lun = lun;
        io.letters.push_back(l);
        return io.letters.back();
    }
    static void Inquiry(SRB_ExecSCSICmd& s, std::uint8_t* buf, std::uint8_t ha, std::uint8_t t, std::uint8_t l) {
        BuildExecSRB(s, TDriveAddress{ha, t, l}, SRB_DIR_IN, buf, 36, {0x12, 0, 0, 0, 36, 0}, 6);
    }
    int Count(const std::string& op) const {
        int n = 0;
        for (auto& c : io.calls) n += c.op == op;
        return n;
    }
};

TEST_F(ClassDrvFixture, ScanByPortLetterFallbackAndPdUnits) {
    Add('D', "plextor", 1, 2);
    EmuLetter& e = Add('E', "toshiba", 2, 0);
    e.addressWorks = false;  // falls back to the letter's own INQUIRY
    EmuLetter& f = Add('F', "plextor", 3, 0);
    f.inquiryWorks = false;
    f.drive = std::make_shared<MmcDrive>();
    Personality disk;
    disk.deviceType = 0;  // a disk answering on a CD letter: dropped
    f.drive = std::make_shared<MmcDrive>(disk);
    Add('G', "pd", 4, 3, 1);
    Add('H', "pd", 4, 3, 1);  // the same PD unit seen from another letter

    ASSERT_EQ(ClassDrvEnumDevices(), 4);
    TClassDrvDevice d;
    ASSERT_TRUE(ClassDrvGetDevice(0, d));
    EXPECT_EQ(d.DriveLetter, 'D');
    EXPECT_EQ(d.PortNumber, 1);
    EXPECT_EQ(d.TargetId, 2);
    EXPECT_EQ(d.DeviceType(), 5);
    EXPECT_EQ(d.DeviceName, "PLEXTOR CD-ROM PX-40TS  1.00");

    ASSERT_TRUE(ClassDrvGetDevice(1, d));
    EXPECT_EQ(d.DriveLetter, 'E');
    EXPECT_EQ(d.PortNumber, ClassDrvLetterKey + 'E');
    EXPECT_EQ(d.PathId, 255);
    EXPECT_EQ(d.TargetId, 255);
    EXPECT_EQ(d.Lun, 255);
    EXPECT_EQ(d.DeviceName, "TOSHIBA CD-ROM XM-6201TA1.00");

    ASSERT_TRUE(ClassDrvGetDevice(2, d));
    EXPECT_EQ(d.DeviceType(), 7);
    EXPECT_EQ(d.Lun, 0);
    EXPECT_EQ(d.DriveLetter, 'G');
    ASSERT_TRUE(ClassDrvGetDevice(3, d));
    EXPECT_EQ(d.DeviceType(), 5);
    EXPECT_EQ(d.Lun, 1);
    EXPECT_FALSE(ClassDrvGetDevice(4, d));

    EXPECT_EQ(ClassDrvFindDevice(4, 0, 3, 1), 3);
    EXPECT_EQ(ClassDrvFindDevice(4, 0, 3, 0), -1);  // the optical unit is not a CD drive
    EXPECT_EQ(ClassDrvFindDevice(ClassDrvLetterKey + 'E', 255, 255, 255), 1);
    // The port scan opens each device for reading only; everything opened
    // was closed again.
    for (std::size_t i = 0; i + 1 < io.calls.size(); ++i) {
        if (io.calls[i].op == "open" && io.calls[i + 1].code == IOCTL_SCSI_GET_ADDRESS_CODE) {
            EXPECT_FALSE(io.calls[i].readWrite);
        }
    }
    EXPECT_EQ(io.openHandles(), 0);
}

TEST_F(ClassDrvFixture, ExecuteOnTheLettersDeviceFillsThePassThroughBlock) {
    Add('D', "plextor", 1, 2);
    ASSERT_EQ(ClassDrvEnumDevices(), 1);
    io.calls.clear();
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36] = {};
    Inquiry(s, buf, 0, 2, 0);
    int dummyEvent;
    s.SRB_Flags |= SRB_EVENT_NOTIFY;
    s.SRB_PostProc = &dummyEvent;
    ASSERT_TRUE(ClassDrvExecSRB(1, s));
    EXPECT_EQ(s.SRB_Status, SS_COMP);
    EXPECT_EQ(s.SRB_TargStat, 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf + 8), 7), "PLEXTOR");
    ASSERT_EQ(io.calls.size(), 4u);  // open, control, signal, close
    EXPECT_TRUE(io.calls[0].readWrite);  // NT 5: read and write
    const EmuIoCall& c = io.calls[1];
    EXPECT_EQ(c.code, IOCTL_SCSI_PASS_THROUGH_DIRECT_CODE);
    EXPECT_EQ(c.inLen, sizeof(ScsiPassThroughDirectBuffer));
    EXPECT_EQ(c.outLen, sizeof(ScsiPassThroughDirectBuffer));
    EXPECT_EQ(c.sptd.Length, sizeof(ScsiPassThroughDirect));
    EXPECT_EQ(c.sptd.CdbLength, 6);
    EXPECT_EQ(c.sptd.SenseInfoLength, 14);
    EXPECT_EQ(c.sptd.DataIn, PT_DATA_IN);
    EXPECT_EQ(c.sptd.DataTransferLength, 36u);
    EXPECT_EQ(c.sptd.TimeOutValue, 10000u);
    EXPECT_EQ(c.sptd.SenseInfoOffset, offsetof(ScsiPassThroughDirectBuffer, SenseBuf));
    EXPECT_EQ(c.sptd.TargetId, 2);
    EXPECT_EQ(c.sptd.Cdb[0], 0x12);
    EXPECT_EQ(c.sptd.Cdb[4], 36);
    EXPECT_EQ(io.calls[2].op, "signal");

    // NT 4 opens for reading only.
    ClassDrvResetForTest();
    io.ntMajor = 4;
    SetDeviceIo(&io);
    ClassDrvEnumDevices();
    io.calls.clear();
    Inquiry(s, buf, 0, 2, 0);
    ASSERT_TRUE(ClassDrvExecSRB(1, s));
    EXPECT_FALSE(io.calls[0].readWrite);

    // A check condition arrives as status 1 with the target status and the
    // sense bytes (data out: MODE SELECT with a bad block length).
    std::uint8_t list[12] = {0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0x01, 0x00};
    BuildExecSRB(s, TDriveAddress{0, 2, 0}, SRB_DIR_OUT, list, 12, {0x15, 0, 0, 0, 12, 0}, 6);
    io.calls.clear();
    ASSERT_TRUE(ClassDrvExecSRB(1, s));
    EXPECT_EQ(io.calls[1].sptd.DataIn, PT_DATA_OUT);
    EXPECT_EQ(s.SRB_Status, SS_COMP);
    EXPECT_EQ(s.SRB_TargStat, STATUS_CHKCOND);
    EXPECT_EQ(s.SenseArea[2] & 0x0F, 6);  // the unit attention comes first
}

TEST_F(ClassDrvFixture, FailuresEndAsStatusFourNeverPending) {
    EmuLetter& d = Add('D', "plextor", 1, 2);
    ASSERT_EQ(ClassDrvEnumDevices(), 1);
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36];
    // No entry for the key.
    Inquiry(s, buf, 0, 2, 0);
    EXPECT_FALSE(ClassDrvExecSRB(7, s));
    EXPECT_EQ(s.SRB_Status, SS_ERR);
    // The control fails: status 4, target status 2, the event still set.
    io.letters[0].passThroughFails = true;
    Inquiry(s, buf, 0, 2, 0);
    int ev;
    s.SRB_Flags |= SRB_EVENT_NOTIFY;
    s.SRB_PostProc = &ev;
    io.calls.clear();
    EXPECT_FALSE(ClassDrvExecSRB(1, s));
    EXPECT_EQ(s.SRB_Status, SS_ERR);
    EXPECT_EQ(s.SRB_TargStat, STATUS_CHKCOND);
    EXPECT_EQ(Count("signal"), 1);
    // A reset or an abort cannot be passed through.
    io.letters[0].passThroughFails = false;
    ClearSRB(s);
    s.SRB_Cmd = SC_RESET_DEV;
    s.SRB_Target = 2;
    EXPECT_FALSE(ClassDrvExecSRB(1, s));
    EXPECT_EQ(s.SRB_Status, SS_ERR);
    // The open device's executor with nothing open.
    Inquiry(s, buf, 0, 2, 0);
    EXPECT_FALSE(ClassDrvExecSRBOpen(s));
    EXPECT_EQ(s.SRB_Status, SS_ERR);
    // The device cannot be opened.
    d.openFails = true;
    io.letters[0].openFails = true;
    Inquiry(s, buf, 0, 2, 0);
    EXPECT_FALSE(ClassDrvExecSRB(1, s));
    EXPECT_EQ(s.SRB_Status, SS_ERR);
}

TEST_F(ClassDrvFixture, RipDevicePlainAndOverlapped) {
    Add('D', "plextor", 1, 2);
    ASSERT_EQ(ClassDrvEnumDevices(), 1);
    ClassDrvOpenDevice(1, 0, 2, false, 0);
    EXPECT_EQ(ClassDrvOpenIndex(), 0);
    SRB_ExecSCSICmd s;
    std::uint8_t buf[36] = {};
    Inquiry(s, buf, 0, 2, 0);
    EXPECT_TRUE(ClassDrvExecSRBOpen(s));
    EXPECT_EQ(s.SRB_Status, SS_COMP);
    ClassDrvCloseDevice();
    EXPECT_EQ(ClassDrvOpenIndex(), -1);
    EXPECT_EQ(io.openHandles(), 0);

    // An entry that is not there opens nothing.
    ClassDrvOpenDevice(9, 0, 2, false, 0);
    EXPECT_EQ(ClassDrvOpenIndex(), -1);

    io.calls.clear();
    ClassDrvOpenDevice(1, 0, 2, true, 0);
    EXPECT_EQ(ClassDrvOpenIndex(), 0);
    EXPECT_EQ(io.openHandles(), OverlappedHandles);
    for (auto& c : io.calls) {
        EXPECT_TRUE(c.overlapped);
        EXPECT_FALSE(c.readWrite);
    }
    ScsiPassThroughDirectBuffer pt;
    Inquiry(s, buf, 0, 2, 0);
    io.calls.clear();
    EXPECT_TRUE(ClassDrvExecSRBOverlapped(2, s, pt, &pt));
    ASSERT_EQ(io.calls.size(), 2u);
    EXPECT_EQ(io.calls[0].inLen, sizeof(ScsiPassThroughDirect));
    EXPECT_EQ(io.calls[0].outLen, sizeof(ScsiPassThroughDirectBuffer));
    EXPECT_EQ(io.calls[0].sptd.TimeOutValue, 9500u);
    EXPECT_TRUE(io.calls[0].overlapped);
    EXPECT_EQ(io.calls[1].op, "overlapped-result");
    EXPECT_EQ(s.SRB_Status, SS_PENDING);  // the burst reader sets it
    EXPECT_FALSE(ClassDrvExecSRBOverlapped(5, s, pt, &pt));
    ClassDrvCloseDevice();
    EXPECT_EQ(io.openHandles(), 0);

    // The third overlapped open fails: no open device, and the next close
    // closes the two that opened.
    io.letters[0].openFailsAfter = 2;
    ClassDrvOpenDevice(1, 0, 2, true, 0);
    EXPECT_EQ(ClassDrvOpenIndex(), -1);
    EXPECT_EQ(io.openHandles(), 2);
    ClassDrvCloseDevice();
    EXPECT_EQ(io.openHandles(), 0);
}

TEST_F(ClassDrvFixture, MalformedInquiryDataIsWalkedWithinWhatWasReturned) {
    Add('D', "plextor", 1, 2);
    // Bus count far beyond the data, an offset past the end, a chain that
    // points back at itself, a unit that claims more bytes than there are.
    std::vector<std::uint8_t> bad(64, 0);
    bad[0] = 200;
    ScsiBusData b0{3, 7, 12};
    std::memcpy(&bad[4], &b0, sizeof b0);
    ScsiInquiryData u{};
    u.PathId = 0;
    u.TargetId = 2;
    u.Lun = 0;
    u.InquiryDataLength = 5000;
    u.NextInquiryDataOffset = 12;  // itself
    std::memcpy(&bad[12], &u, offsetof(ScsiInquiryData, InquiryData));
    bad[24] = 5;  // device type CD-ROM
    std::memcpy(&bad[32], "VENDORX", 7);
    io.inquiryOverride = bad;
    ASSERT_EQ(ClassDrvEnumDevices(), 1);
    TClassDrvDevice d;
    ClassDrvGetDevice(0, d);
    EXPECT_EQ(d.DeviceType(), 5);
    EXPECT_LE(d.DeviceName.size(), 32u);
    // Offsets that lead nowhere give no unit at all; the letter then has no
    // entry of its own, because its port scan worked.
    ScsiBusData far{1, 7, 5000};
    std::memcpy(&bad[4], &far, sizeof far);
    io.inquiryOverride = bad;
    EXPECT_EQ(ClassDrvEnumDevices(), 0);
    io.inquiryOverride = {9};  // a bus count and nothing else
    EXPECT_EQ(ClassDrvEnumDevices(), 0);
}

TEST_F(ClassDrvFixture, TableStopsAtTwentySevenDrives) {
    // Optical units (LUN 0) on 40 targets of one port, seen from one letter.
    Add('D', "plextor", 1, 2);
    std::vector<std::uint8_t> data(4 + 8, 0);
    data[0] = 1;
    ScsiBusData bus{40, 7, 12};
    std::memcpy(&data[4], &bus, sizeof bus);
    for (int t = 0; t < 40; ++t) {
        std::size_t at = data.size();
        data.resize(at + 12 + 36, 0);
        ScsiInquiryData u{};
        u.TargetId = std::uint8_t(t);
        u.InquiryDataLength = 36;
        u.NextInquiryDataOffset = t + 1 < 40 ? std::uint32_t(at + 48) : 0;
        std::memcpy(&data[at], &u, 12);
        data[at + 12] = 7;
    }
    ASSERT_LE(data.size(), 4096u);
    io.inquiryOverride.assign(data.begin(), data.begin() + std::min<std::size_t>(data.size(), 1024));
    EXPECT_EQ(ClassDrvEnumDevices(), 21);  // what fits in the 1024 bytes asked for
    io.letters.push_back(io.letters[0]);
    io.letters.back().letter = 'E';
    io.letters.back().port = 2;
    EXPECT_EQ(ClassDrvEnumDevices(), MaxClassDrvDevices);
}

}  // namespace

namespace {

// A freshly loaded disc answers its first TEST UNIT READY with a unit
// attention.  Over the class driver that arrives as status 1 with a check
// condition, and must be taken as the ASPI transport takes it: the table
// of contents of a disc just put in is read on the first try.
TEST_F(ClassDrvFixture, UnitAttentionOfANewDiscDoesNotHideItsContents) {
    Add('E', "plextor", 1, 2);
    ASSERT_EQ(ClassDrvEnumDevices(), 1);
    TClassDrvDevice dev;
    ASSERT_TRUE(ClassDrvGetDevice(0, dev));
    TClassDrvExecutor exec(dev.PortNumber);
    TTocReader reader(exec);
    TTrackTable t;
    TDriveAddress d{std::uint8_t(dev.PathId), std::uint8_t(dev.TargetId), std::uint8_t(dev.Lun), false};
    ASSERT_TRUE(reader.dispTrack(t, d));
    EXPECT_EQ(t.TrackCount, 1);
    EXPECT_EQ(t.Slots[LeadOutSlot].StartLba, 300);
    // A check condition of another kind (no disc) still means no disc.
    io.letters[0].drive->Load(nullptr);
    SRB_ExecSCSICmd s;
    BuildExecSRB(s, d, 0, nullptr, 0, {0, 0, 0, 0, 0, 0}, 6);
    exec.Exec(s);  // the unit attention of the change
    EXPECT_FALSE(reader.dispTrack(t, d));
    EXPECT_EQ(t.TrackCount, 0);
}

}  // namespace
