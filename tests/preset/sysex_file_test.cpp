#include "preset/sysex_file.h"
#include "support/files.h"

#include <QFile>

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace zr70 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes times(const Bytes& bytes, std::size_t count) {
    Bytes all;
    for (std::size_t i = 0; i < count; ++i) {
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    return all;
}

/// A data-set message of the converter with a correct checksum.
Bytes message(std::uint8_t index, std::uint8_t value) {
    return {
        0xF0, 0x41, 0x10,  0x70,  0x12,
        0x00, 0x00, index, value, static_cast<std::uint8_t>((128 - (index + value) % 128) % 128),
        0xF7};
}

const Bytes kOtherMaker = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};

TEST(SysExFileTest, ExportOfTheDefaultsIsTheGoldenBytes) {
    const QByteArray golden = QByteArray::fromHex("f0411070120000000000f7"
                                                  "f041107012000001007ff7"
                                                  "f041107012000002007ef7"
                                                  "f041107012000003403df7"
                                                  "f041107012000004017bf7"
                                                  "f041107012000005007bf7"
                                                  "f041107012000006007af7"
                                                  "f0411070120000070178f7"
                                                  "f04110701200000e0072f7"
                                                  "f0411070120000080375f7"
                                                  "f0411070120000090374f7"
                                                  "f04110701200000a0373f7"
                                                  "f04110701200000b0372f7"
                                                  "f04110701200000c0371f7"
                                                  "f04110701200000d0370f7");
    EXPECT_EQ(SysExFile::encode(ParameterSet::defaults()), golden);

    ParameterSet some;
    some.set(3, 2); // Octave shift "Up"
    some.set(13, 0);
    EXPECT_EQ(SysExFile::encode(some).toHex(),
              QByteArray("f041107012000003413cf7f04110701200000d0073f7"));
    EXPECT_TRUE(SysExFile::encode(ParameterSet()).isEmpty());
}

TEST(SysExFileTest, ImportTakesValidMessagesOfTheConverterAndCountsTheRest) {
    struct Case {
        const char* what;
        Bytes bytes;
        std::map<ParameterIndex, int> selections;
        int used;
        int skipped;
    };
    Bytes badChecksum = message(2, 1);
    badChecksum[9] ^= 1;
    Bytes otherModel = message(2, 1);
    otherModel[3] = 0x6A;
    const std::vector<Case> cases = {
        {"empty", {}, {}, 0, 0},
        {"one message", message(0, 9), {{0, 9}}, 1, 0},
        {"octave shift value bytes", message(3, 0x41), {{3, 2}}, 1, 0},
        {"another maker's message", kOtherMaker + message(1, 2) + kOtherMaker, {{1, 2}}, 1, 2},
        {"another model", otherModel, {}, 0, 1},
        {"bad checksum", badChecksum + message(4, 2), {{4, 2}}, 1, 1},
        {"value out of range", message(0, 16) + message(3, 0x10) + message(5, 2), {}, 0, 3},
        {"parameter 15", message(15, 0), {}, 0, 1},
        {"a later message wins",
         message(0, 3) + message(1, 1) + message(0, 5),
         {{0, 5}, {1, 1}},
         3,
         0},
        {"truncated at the end",
         message(6, 1) + Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00},
         {{6, 1}},
         1,
         1},
        {"cut short by the next message",
         Bytes{0xF0, 0x41, 0x10, 0x70, 0x12} + message(7, 2),
         {{7, 2}},
         1,
         1},
        {"cut short by another status byte",
         Bytes{0xF0, 0x41, 0x90, 0x40, 0x7F} + message(8, 4),
         {{8, 4}},
         1,
         2},
        {"longer than a data-set message",
         Bytes{0xF0, 0x41, 0x10, 0x70, 0x12, 0x00, 0x00, 0x01, 0x01, 0x00, 0x7E, 0xF7},
         {},
         0,
         1},
        {"real-time bytes inside a message",
         Bytes{0xF0, 0x41, 0xF8, 0x10, 0x70, 0x12, 0x00, 0x00, 0xFE, 0x02, 0x01, 0x7D, 0xFF, 0xF7},
         {{2, 1}},
         1,
         0},
        {"stray bytes between messages",
         Bytes{0x01, 0x02} + message(9, 0) + Bytes{0xF7, 0x55},
         {{9, 0}},
         1,
         2},
    };
    for (const Case& c : cases) {
        const SysExFile::Import result = SysExFile::decode(c.bytes);
        for (ParameterIndex index = 0; index < kParameterCount; ++index) {
            const auto expected = c.selections.find(index);
            EXPECT_EQ(result.set.selection(index),
                      expected == c.selections.end() ? kNoSelection : expected->second)
                << c.what << ", parameter " << index;
        }
        EXPECT_EQ(result.used, c.used) << c.what;
        EXPECT_EQ(result.skipped, c.skipped) << c.what;
    }
}

struct SysExFileIoTest : ::testing::Test {
    FileName path(const QString& name) const { return FileName(dir.path(name)); }
    void write(const QString& name, const Bytes& bytes) const {
        ASSERT_TRUE(dir.write(name, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<qsizetype>(bytes.size()))));
    }
    testing::TestFolder dir;
};

TEST_F(SysExFileIoTest, FilesWithoutAValidMessageOrTooLargeAreErrors) {
    write("empty.syx", {});
    write("foreign.syx", times(kOtherMaker, 100));
    QFile huge(dir.path("huge.syx"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(SysExFile::kMaxFileSize + 1));
    huge.close();
    for (const char* name : {"empty.syx", "foreign.syx", "missing.syx", "huge.syx", "."}) {
        const Read<SysExFile::Import> read = SysExFile::read(path(name));
        EXPECT_FALSE(read) << name;
        EXPECT_FALSE(read.error.isEmpty()) << name;
    }
    // Nothing with a selection makes a file no import would take: none is written.
    EXPECT_EQ(SysExFile::write(path("nothing.syx"), ParameterSet()).error,
              "no parameter has a selection");
    EXPECT_FALSE(QFile::exists(dir.path("nothing.syx")));
}

TEST_F(SysExFileIoTest, ATenMegabyteDumpIsReadToItsLastMessage) {
    const std::size_t count = 10 * 1000 * 1000 / kOtherMaker.size();
    write("dump.syx", times(kOtherMaker, count) + message(12, 6));
    const Read<SysExFile::Import> read = SysExFile::read(path("dump.syx"));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->set.selection(12), 6);
    EXPECT_EQ(read->skipped, static_cast<int>(count));
}

TEST(SysExFileTest, OnlyLowerOrUpperCaseSyxIsASysExFile) {
    for (const char* name : {"a.syx", "/x/b.SYX", "set.one.syx"}) {
        EXPECT_TRUE(SysExFile::hasExtension(FileName(name))) << name;
    }
    for (const char* name : {"a.Syx", "a.syx.bak", "syx", "a.zr", ""}) {
        EXPECT_FALSE(SysExFile::hasExtension(FileName(name))) << name;
    }
}

} // namespace
} // namespace zr70
