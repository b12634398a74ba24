// The batch encode list's rules: output names by output kind and after a
// change of output, the refusal of outputs that are sources or duplicates,
// the window keys, and the worker's PCM loop with its percentages.
#include <gtest/gtest.h>

#include "output/encodelist.h"
#include "output/mp3defs.h"
#include "output/tests/wavbuild.h"
#include "settings/configstore.h"
#include "settings/inifile.h"
#include "standins/tests/TestImage.h"

using namespace wx;

namespace {

TConfigStore Store(int method, int mp3Encoder = mekACM, std::uint8_t gogoFormat = gftMP3) {
    TConfigStore c;
    c.SelOutputMethod.SetItemIndex(method);
    c.SelMP3Enc.SetItemIndex(mp3Encoder);
    c.GogoFormatType = gogoFormat;
    return c;
}

}  // namespace

TEST(EncodeList, OutputNamesByKindAndAfterAChangeOfOutput) {
    EXPECT_EQ(BatchOutputKindOf(Store(omTwinVQ)), TBatchOutputKind::TwinVq);
    EXPECT_EQ(BatchOutputKindOf(Store(omWMA)), TBatchOutputKind::Wma);
    EXPECT_EQ(BatchOutputKindOf(Store(omMP3, mekGogo, gftRiffMP3)), TBatchOutputKind::GogoRmp);
    EXPECT_EQ(BatchOutputKindOf(Store(omMP3, mekGogo, gftRiffWave)), TBatchOutputKind::GogoWave);
    EXPECT_EQ(BatchOutputKindOf(Store(omMP3, mekGogo, gftMP3)), TBatchOutputKind::Mp3);
    EXPECT_EQ(BatchOutputKindOf(Store(omMP3, mekExternal)), TBatchOutputKind::Mp3);

    EXPECT_EQ(NewOutputName("c:\\a\\x.wav", TBatchOutputKind::TwinVq), "c:\\a\\x.vqf");
    EXPECT_EQ(NewOutputName("c:\\a\\x.wav", TBatchOutputKind::Wma), "c:\\a\\x.wma");
    EXPECT_EQ(NewOutputName("c:\\a\\x.wav", TBatchOutputKind::GogoRmp), "c:\\a\\x.rmp");
    EXPECT_EQ(NewOutputName("c:\\a\\x.wav", TBatchOutputKind::Mp3), "c:\\a\\x.mp3");
    EXPECT_EQ(NewOutputName("c:\\a\\x.wav", TBatchOutputKind::GogoWave), "c:\\a\\x_encoded.wav");
    // A dot in a folder is no extension; 表 ends in the byte 0x5C.
    EXPECT_EQ(NewOutputName("c:\\a.b\\x", TBatchOutputKind::Mp3), "c:\\a.b\\x.mp3");
    EXPECT_EQ(NewOutputName("c:\\\x95\x5C\\x.WAV", TBatchOutputKind::GogoWave), "c:\\\x95\x5C\\x_encoded.WAV");

    // A change to the WAVE format would point the row at its own source:
    // it takes the new row's name instead; other rows keep their names.
    EXPECT_EQ(RefreshedOutputName("c:\\a\\x.mp3", "C:\\A\\X.WAV", TBatchOutputKind::GogoWave), "C:\\A\\X_encoded.WAV");
    EXPECT_EQ(RefreshedOutputName("d:\\out\\y.mp3", "c:\\a\\x.wav", TBatchOutputKind::GogoWave), "d:\\out\\y.wav");
    EXPECT_EQ(RefreshedOutputName("c:\\a\\x_encoded.wav", "c:\\a\\x.wav", TBatchOutputKind::Wma), "c:\\a\\x_encoded.wma");

    EXPECT_EQ(OutputFilterIndex(TBatchOutputKind::TwinVq), 5);
    EXPECT_EQ(OutputFilterIndex(TBatchOutputKind::Wma), 3);
    EXPECT_EQ(OutputFilterIndex(TBatchOutputKind::GogoRmp), 4);
    EXPECT_EQ(OutputFilterIndex(TBatchOutputKind::GogoWave), 1);
    EXPECT_EQ(OutputFilterIndex(TBatchOutputKind::Mp3), 2);
    EXPECT_TRUE(IsWavFileName("x.Wav"));
    EXPECT_FALSE(IsWavFileName("x.wav.mp3"));
}

TEST(EncodeList, OutputsThatAreSourcesOrDuplicatesAreFound) {
    const std::vector<std::string> sources = {"C:\\m\\a.wav", "C:\\m\\b.wav", "C:\\m\\c.wav"};
    EXPECT_EQ(FindOutputConflict(sources, {"C:\\m\\a.mp3", "C:\\m\\b.mp3", "C:\\m\\c.mp3"}).What,
              TOutputConflict::None);
    // Row 3's output is row 1's source, in another case and with "/".
    TOutputConflict c = FindOutputConflict(sources, {"C:\\m\\a.mp3", "C:\\m\\b.mp3", "c:/M/A.WAV"});
    EXPECT_EQ(c.What, TOutputConflict::SourceOfRow);
    EXPECT_EQ(c.Row, 2);
    EXPECT_EQ(c.Other, 0);
    // Its own source.
    c = FindOutputConflict(sources, {"C:\\m\\a.mp3", "c:\\m\\B.wav", "C:\\m\\c.mp3"});
    EXPECT_EQ(c.What, TOutputConflict::SourceOfRow);
    EXPECT_EQ(c.Row, 1);
    EXPECT_EQ(c.Other, 1);
    c = FindOutputConflict(sources, {"C:\\m\\x.mp3", "C:\\m\\b.mp3", "C:\\M\\X.MP3"});
    EXPECT_EQ(c.What, TOutputConflict::OutputOfRow);
    EXPECT_EQ(c.Row, 2);
    EXPECT_EQ(c.Other, 0);
    // The second byte of a double-byte character is not upper-cased: ソ
    // (0x83 0x5C) and a different character 0x83 0x7C stay apart.
    EXPECT_FALSE(SameFilePath("c:\\\x83\x5C.wav", "c:\\\x83\x7C.wav"));
}

TEST(EncodeList, RowCellsAndNewRecords) {
    TEncodeRow row;
    row.Record = NewEncodeRecord("C:\\music\\take.wav");
    row.Output = "D:\\out\\take.mp3";
    EXPECT_EQ(row.Record.Genre, -1);
    EXPECT_FALSE(row.Record.HasTag);
    auto cells = EncodeRowCells(row, "yes", "no");
    EXPECT_EQ(cells[0], "take.wav");
    EXPECT_EQ(cells[1], "take.mp3");
    EXPECT_EQ(cells[2], "no");
    EXPECT_EQ(cells[7], "-None-");
    row.OutputShownInFull = true;
    row.Record.HasTag = true;
    row.Record.Genre = 17;
    row.Record.TrackText = "4";
    row.Record.Copyright = "(c)";
    row.Result = "done";
    cells = EncodeRowCells(row, "yes", "no");
    EXPECT_EQ(cells[1], "D:\\out\\take.mp3");
    EXPECT_EQ(cells[2], "yes");
    EXPECT_EQ(cells[7], "Rock");
    EXPECT_EQ(cells[8], "4");
    EXPECT_EQ(cells[10], "(c)");
    EXPECT_EQ(cells[11], "done");
    // A path longer than a record holds is cut on a character boundary.
    const std::string longPath = std::string(254, 'a') + "\x88\x9F";
    EXPECT_EQ(NewEncodeRecord(longPath).FileStem, std::string(254, 'a'));
}

TEST(EncodeList, WindowKeys) {
    TMemIniFile ini;
    TEncodeFormKeys k = ReadEncodeFormKeys(ini);
    EXPECT_EQ(k.Width, 600);
    EXPECT_EQ(k.Height, 400);
    EXPECT_EQ(k.Top, 0);
    EXPECT_EQ(k.Left, 0);
    EXPECT_EQ(k.ColumnWidths[9], -1);
    ini.SetText("[EncodeForm]\r\nWidth=-5\r\nHeight=300\r\nTop=-256\r\nLeft=-255\r\nLColumnW3=-1\r\nLColumnW4=77\r\n");
    k = ReadEncodeFormKeys(ini);
    EXPECT_EQ(k.Width, 600);
    EXPECT_EQ(k.Height, 300);
    EXPECT_EQ(k.Top, 0);
    EXPECT_EQ(k.Left, -255);
    EXPECT_EQ(k.ColumnWidths[3], -1);
    EXPECT_EQ(k.ColumnWidths[4], 77);
    k.Width = 640;
    k.ColumnWidths[9] = 33;
    WriteEncodeFormKeys(ini, k);
    const TEncodeFormKeys back = ReadEncodeFormKeys(ini);
    EXPECT_EQ(back.Width, 640);
    EXPECT_EQ(back.ColumnWidths[9], 33);
    EXPECT_EQ(back.Left, -255);
}

namespace {

struct TTransferRun {
    std::vector<int> Percents;
    std::uint64_t Written = 0;
    TPcmTransfer Result{};
};

TTransferRun Transfer(std::size_t pcmBytes, int stopAfterBlocks = -1, int failWriteAt = -1) {
    wx::testimg::TempDir dir;
    wavbuild::Bytes pcm(pcmBytes);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = std::uint8_t(i);
    wavbuild::Save(dir.File("t.wav"), wavbuild::CdWave(pcm));
    TRiffWaveReader r;
    EXPECT_EQ(r.Open(dir.File("t.wav")), TWaveError::None);
    TTransferRun run;
    int blocks = 0;
    run.Result = TransferPcm(
        r,
        [&](const void* p, std::uint32_t n) {
            if (blocks == failWriteAt) return false;
            EXPECT_EQ(static_cast<const std::uint8_t*>(p)[0], std::uint8_t(run.Written));
            run.Written += n;
            ++blocks;
            return true;
        },
        [&] { return stopAfterBlocks >= 0 && blocks >= stopAfterBlocks; },
        [&](int p) { run.Percents.push_back(p); });
    return run;
}

}  // namespace

TEST(EncodeList, PcmLoopPostsEachPercentOnceAndStopsOrFails) {
    // 10 MB: every value from 0 to 100 once, in rising order.
    TTransferRun r = Transfer(10u * 1024 * 1024);
    EXPECT_EQ(r.Result, TPcmTransfer::Done);
    EXPECT_EQ(r.Written, 10u * 1024 * 1024);
    ASSERT_EQ(r.Percents.size(), 101u);
    for (int i = 0; i <= 100; ++i) EXPECT_EQ(r.Percents[std::size_t(i)], i);

    // A whole number of blocks and a short file: 0 first, 100 last, once.
    for (std::size_t bytes : {std::size_t(EncodeBlockBytes) * 3, std::size_t(1000)}) {
        r = Transfer(bytes);
        EXPECT_EQ(r.Result, TPcmTransfer::Done);
        EXPECT_EQ(r.Written, bytes);
        ASSERT_FALSE(r.Percents.empty());
        EXPECT_EQ(r.Percents.front(), 0);
        EXPECT_EQ(r.Percents.back(), 100);
        for (std::size_t i = 1; i < r.Percents.size(); ++i) EXPECT_LT(r.Percents[i - 1], r.Percents[i]);
    }

    // A stop after two blocks: a shorter output and no 100.
    r = Transfer(std::size_t(EncodeBlockBytes) * 10, 2);
    EXPECT_EQ(r.Result, TPcmTransfer::Stopped);
    EXPECT_EQ(r.Written, std::uint64_t(EncodeBlockBytes) * 2);
    EXPECT_NE(r.Percents.back(), 100);

    // A write that fails (a full disk) ends the loop at once.
    r = Transfer(std::size_t(EncodeBlockBytes) * 10, -1, 3);
    EXPECT_EQ(r.Result, TPcmTransfer::WriteFailed);
    EXPECT_EQ(r.Written, std::uint64_t(EncodeBlockBytes) * 3);
    EXPECT_NE(r.Percents.back(), 100);
}
