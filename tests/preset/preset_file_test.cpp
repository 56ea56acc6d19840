#include "preset/file_access.h"
#include "preset/preset_file.h"
#include "support/fakes.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zr70 {
namespace {

using testing::Bytes;

const Bytes kTrailer = {'\n', '-', '-', '-', ' ', 'K', 'o', 'r', 'v', 'a', 'n',
                        ' ',  'Z', 'R', '7', '0', ' ', 'P', 'r', 'e', 's', 'e',
                        't',  ' ', 'F', 'i', 'l', 'e', ' ', '-', '-', '-'};
const Bytes kDefaultBytes = {0, 0, 1, 0, 0, 1, 0, 0, 3, 3, 3, 3, 3, 3, 1};

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct PresetFileTest : ::testing::Test {
    FileName path(const QString& name) const { return FileName(dir.path(name)); }
    Bytes read(const QString& name) const {
        const QByteArray data = dir.read(name);
        return Bytes(data.begin(), data.end());
    }
    void write(const QString& name, const Bytes& bytes) const {
        ASSERT_TRUE(dir.write(name, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<qsizetype>(bytes.size()))));
    }
    /// The selections of a preset file of `bytes`.
    ParameterSet loaded(const Bytes& bytes) {
        write("in.zr", bytes);
        const Read<ParameterSet> set = PresetFile::read(path("in.zr"));
        EXPECT_TRUE(set) << set.error.toStdString();
        return set.value.value_or(ParameterSet());
    }
    /// Saves `lists`; whether the save succeeded.
    bool save(const QString& file) const { return PresetFile::write(path(file), lists).ok(); }

    testing::TestFolder dir;
    ParameterSet lists = ParameterSet::defaults();
};

TEST(PresetExtensionTest, OnlyZrOrZRAfterTheLastDotOfTheFileNamePasses) {
    for (const char* name : {"/home/me/live.zr", "/home/me/LIVE.ZR", "/home/me/set.one.zr",
                             "live.zr", "/home/me/.zr", "/a.b/live.zr"}) {
        EXPECT_TRUE(PresetFile::hasExtension(FileName(name))) << name;
    }
    // A dot in a folder's name is no extension.
    for (const char* name :
         {"/home/me/live.Zr", "/home/me/live.zR", "/home/me/live", "/home/me/live.",
          "/home/me/set.zr.bak", "/home/me/live.zr ", "", "/a.zr/live", "/presets.zr/"}) {
        EXPECT_FALSE(PresetFile::hasExtension(FileName(name))) << name;
    }
}

TEST_F(PresetFileTest, DefaultSelectionsSaveAsTheGoldenBytes) {
    EXPECT_TRUE(save("a.zr"));
    EXPECT_EQ(read("a.zr"), kDefaultBytes + kTrailer);
    EXPECT_EQ(read("a.zr").size(), 47u);
}

TEST_F(PresetFileTest, BytesAreSelectionIndexesInFileOrder) {
    lists.set(0, 15); // Midi channel "16"
    lists.set(3, 2);  // Octave shift "Up", not its value byte 65
    lists.set(7, 3);  // "No dynamics"
    lists.set(9, kNoSelection);
    save("a.zr");
    const Bytes bytes = read("a.zr");
    EXPECT_EQ(bytes[3], 0x0F);
    EXPECT_EQ(bytes[5], 0x02);
    EXPECT_EQ(bytes[14], 0x03);
    EXPECT_EQ(bytes[9], 0xFF);
}

TEST_F(PresetFileTest, EverySelectionAndNoSelectionSurviveARoundTrip) {
    // Step k gives each list selection k - 1 wrapped to its size, so every
    // entry of every list, and no selection, is saved and loaded at least once.
    for (int step = 0; step <= 16; ++step) {
        for (ParameterIndex index = 0; index < kParameterCount; ++index) {
            const int count = static_cast<int>(parameter(index).values.size());
            lists.set(index, step % (count + 1) - 1);
        }
        ASSERT_TRUE(save("a.zr"));
        EXPECT_EQ(PresetFile::read(path("a.zr")).value, lists) << "step " << step;
    }
}

TEST_F(PresetFileTest, OnlyTheFirstFifteenBytesCount) {
    const Bytes custom = {1, 2, 0, 9, 1, 0, 1, 1, 7, 6, 5, 4, 3, 2, 0};
    const auto expected = loaded(custom + kTrailer);
    EXPECT_EQ(expected.selection(0), 9);
    EXPECT_EQ(expected.selection(7), 0);
    EXPECT_EQ(loaded(custom), expected);
    EXPECT_EQ(loaded(custom + Bytes{'\n', 'x', 'y'}), expected);
    EXPECT_EQ(loaded(custom + kTrailer + Bytes(4000, 0x55)), expected);
}

TEST_F(PresetFileTest, ShortAndEmptyFilesLeaveTheRestWithoutSelection) {
    const auto selections = loaded({1, 3, 2, 5});
    EXPECT_EQ(selections.selection(5), 1);
    EXPECT_EQ(selections.selection(1), 3);
    EXPECT_EQ(selections.selection(4), 2);
    EXPECT_EQ(selections.selection(0), 5);
    for (ParameterIndex index : {2, 3, 6, 14, 8, 9, 10, 11, 12, 13, 7}) {
        EXPECT_EQ(selections.selection(index), kNoSelection) << index;
    }
    EXPECT_EQ(loaded({}), ParameterSet());
}

TEST_F(PresetFileTest, OutOfRangeByteLeavesOnlyThatListWithoutSelection) {
    Bytes bytes = kDefaultBytes;
    bytes[3] = 0x10;
    bytes[7] = 0xFF;
    const auto selections = loaded(bytes);
    auto expected = ParameterSet::defaults();
    expected.set(0, kNoSelection);
    expected.set(14, kNoSelection);
    EXPECT_EQ(selections, expected);
}

TEST_F(PresetFileTest, DirectoriesAndFifosAreFailedOpens) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.zr"));
    ASSERT_EQ(::mkfifo(path("pipe.zr").bytes().constData(), 0600), 0);
    for (const char* name : {"folder.zr", "pipe.zr", "missing.zr"}) {
        const Read<ParameterSet> read = PresetFile::read(path(name));
        EXPECT_FALSE(read) << name;
        EXPECT_FALSE(read.error.isEmpty()) << name;
    }
}

TEST_F(PresetFileTest, SavingOverALongerFileLeavesExactly47Bytes) {
    write("a.zr", Bytes(500, 0x07));
    EXPECT_TRUE(save("a.zr"));
    EXPECT_EQ(read("a.zr"), kDefaultBytes + kTrailer);
}

TEST_F(PresetFileTest, FailedSavesReportAndLeaveThePreviousFileWhole) {
    const Bytes previous = Bytes(100, 0x42);
    write("old.zr", previous);
    write("plain", {1});
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.zr"));
    ASSERT_EQ(::mkfifo(path("pipe.zr").bytes().constData(), 0600), 0);
    for (const char* name : {"plain/a.zr", "missing/a.zr", "folder.zr", "pipe.zr"}) {
        EXPECT_FALSE(save(name)) << name;
    }

    // A file nobody may write is kept, even when root could write it.
    ASSERT_TRUE(QFile::setPermissions(dir.path("old.zr"), QFileDevice::ReadOwner));
    EXPECT_FALSE(save("old.zr"));
    ASSERT_TRUE(QFile::setPermissions(dir.path("old.zr"),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    // Writes beyond 20 bytes fail for root too; the save must notice.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{20, limit.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool result = save("old.zr");
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(result);

    EXPECT_EQ(read("old.zr"), previous);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 3)
        << "no temporary file is left, and the FIFO is not replaced";
    EXPECT_TRUE(QFileInfo(dir.path("pipe.zr")).exists() &&
                !QFileInfo(dir.path("pipe.zr")).isFile());
}

/// Runs `save` in a child process as a user who may not write the test's
/// folders (root, who may write anywhere, runs it as "nobody"); its result is
/// the child's exit status.
int saveAsUnprivilegedUser(const std::function<int()>& save) {
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(90);
        }
        ::_exit(save());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST_F(PresetFileTest, AWritableFileInAReadOnlyFolderIsSavedInPlace) {
    const QString folder = dir.path("locked");
    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    write("locked/song.zr", Bytes(100, 0x42));
    const QByteArray song = path("locked/song.zr").bytes();
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(song.constData(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    // The folder becomes writable again however the test ends, so that the
    // temporary folder can be removed.
    const std::unique_ptr<const QString, void (*)(const QString*)> unlock(
        &folder, [](const QString* name) { ::chmod(QFile::encodeName(*name).constData(), 0755); });

    const int status = saveAsUnprivilegedUser([&] {
        if (::access(QFile::encodeName(folder).constData(), W_OK) == 0) {
            return 91; // the folder must be read-only for the saving user
        }
        if (!save("locked/song.zr") || save("locked/new.zr")) {
            return 1;
        }
        // No room for the new bytes (ulimit -f 0): the old ones stay.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit none{};
        ::getrlimit(RLIMIT_FSIZE, &none);
        none.rlim_cur = 0;
        lists.set(0, 5);
        return ::setrlimit(RLIMIT_FSIZE, &none) == 0 && !save("locked/song.zr") ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "the existing file is written, a new one cannot be created, and a "
                            "write that cannot be done leaves the file";
    EXPECT_EQ(read("locked/song.zr"), kDefaultBytes + kTrailer);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"song.zr"});
}

TEST_F(PresetFileTest, NamesThatAreNoUtf8AreWrittenAndReadUnderTheirOwnBytes) {
    const QByteArray folder = QFile::encodeName(dir.path()) + "/";
    for (const QByteArray& name : {QByteArray("take\xe9.zr"), QByteArray("n\xff\xfe.zr"),
                                   QByteArray("\xed\xb2\x80.zr"), QByteArray("caf\xc3\xa9.zr")}) {
        const FileName held(folder + name);
        lists.set(0, 7);
        ASSERT_TRUE(PresetFile::write(held, lists).ok()) << name.toStdString();
        struct stat status {};
        EXPECT_EQ(::stat((folder + name).constData(), &status), 0) << name.toStdString();
        EXPECT_EQ(status.st_size, 47);
        EXPECT_EQ(PresetFile::read(held).value, lists);
    }
    // Qt's own listing cannot hold these names: the folder is read as bytes.
    const std::filesystem::path bytes(folder.toStdString());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bytes), {}), 4)
        << "no other name was written";
    std::filesystem::remove_all(bytes);
}

TEST_F(PresetFileTest, LongPathsAreNotCut) {
    const QString deep = QString(120, u'd');
    ASSERT_TRUE(QDir(dir.path()).mkpath(deep));
    const QString name = deep + "/" + QString(120, u'p') + ".zr";
    lists.set(0, 4);
    ASSERT_TRUE(save(name));
    EXPECT_EQ(PresetFile::read(path(name)).value, lists);
    EXPECT_FALSE(PresetFile::read(path(name + "x")));
}

TEST_F(PresetFileTest, ASaveWritesWhereTheNamePointsWithTheModeTheUmaskLeaves) {
    const QString longest = QString(252, u'n') + ".zr"; // 255 bytes, the most a name may have
    write("target.zr", Bytes(3, 1));
    ASSERT_EQ(::symlink("target.zr", path("link.zr").bytes().constData()), 0);
    ASSERT_EQ(::symlink("gone.zr", path("dangling.zr").bytes().constData()), 0);
    struct Case {
        QString name;
        mode_t umask;
        bool saved;
        QString written; ///< the file that holds the preset afterwards
        mode_t mode;     ///< of a new file
    };
    const Case cases[] = {
        {longest, 022, true, longest, 0644},
        {longest, 022, true, longest, 0644}, // over the file the first made
        {"link.zr", 022, true, "target.zr", 0},
        {"dangling.zr", 022, false, "", 0},
        {"private.zr", 077, true, "private.zr", 0600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.left(20).toStdString());
        const mode_t previous = ::umask(c.umask);
        EXPECT_EQ(save(c.name), c.saved);
        ::umask(previous);
        if (c.saved) {
            EXPECT_EQ(read(c.written), kDefaultBytes + kTrailer);
        }
        struct stat status {};
        if (c.mode != 0 && ::stat(path(c.written).bytes().constData(), &status) == 0) {
            EXPECT_EQ(status.st_mode & 0777, c.mode);
        }
    }
    // The links are left as they were, and no temporary file is left.
    EXPECT_EQ(QFileInfo(dir.path("link.zr")).symLinkTarget(), dir.path("target.zr"));
    EXPECT_TRUE(QFileInfo(dir.path("dangling.zr")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(dir.path("gone.zr")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 5);
}

} // namespace
} // namespace zr70
