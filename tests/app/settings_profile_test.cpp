#include "app/settings_profile.h"
#include "support/files.h"
#include "support/shell_fakes.h"
#include "support/wait_for.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zr70 {
namespace {

struct SettingsProfileTest : ::testing::Test {
    FileName path(const QString& name = QStringLiteral("zr70.INI")) const {
        return FileName(directory.path(name));
    }
    void writeFile(const QByteArray& text) const { ASSERT_TRUE(directory.write("zr70.INI", text)); }
    QByteArray fileText() const { return directory.read("zr70.INI"); }

    testing::TestFolder directory;
};

TEST_F(SettingsProfileTest, MissingFileReadsTheCallersDefaultsAndCreatesNothing) {
    const SettingsProfile profile(path());
    EXPECT_EQ(profile.readInt("xpos").value_or(20), 20);
    EXPECT_EQ(profile.readInt("ypos").value_or(40), 40);
    EXPECT_EQ(profile.readInt("mididevice").value_or(-1), -1);
    EXPECT_FALSE(directory.exists("zr70.INI"));
}

TEST_F(SettingsProfileTest, EveryWriteReachesTheFileAtOnceAsDecimalText) {
    SettingsProfile profile(path());
    EXPECT_TRUE(profile.write({{"mididevice", 0}}));
    EXPECT_EQ(fileText(), QByteArray("[zr70]\nmididevice=0\n"));

    storeWindowPosition(profile, -10, 300);
    EXPECT_EQ(fileText(), QByteArray("[zr70]\nmididevice=0\nxpos=-10\nypos=300\n"));

    // Another profile on the same file, as at the next start, reads it back.
    const SettingsProfile next(path());
    EXPECT_EQ(next.readInt("xpos").value_or(20), -10);
    EXPECT_EQ(next.readInt("ypos").value_or(40), 300);
    EXPECT_EQ(next.readInt("mididevice").value_or(-1), 0);
}

TEST_F(SettingsProfileTest, AWriteOfWhatTheFileHoldsAlreadyLeavesTheFileAlone) {
    SettingsProfile profile(path());
    const std::vector<std::string> names{"JACK: a:in"};
    storeOutput(profile, 0, names);
    const QDateTime longAgo(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    {
        QFile file(directory.path("zr70.INI"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }
    storeOutput(profile, 0, names);
    EXPECT_EQ(QFileInfo(directory.path("zr70.INI")).lastModified().toUTC(), longAgo);
    storeOutput(profile, 0, {"JACK: b:in"});
    EXPECT_EQ(fileText(), QByteArray("[zr70]\nmididevice=0\nmididevicename=JACK: b:in\n"));
}

TEST_F(SettingsProfileTest, AnOutputsNameIsWrittenWithItsIndexAndReadBackWhole) {
    SettingsProfile profile(path());
    EXPECT_FALSE(profile.readText("mididevicename").has_value());
    // A comma would make an unquoted value a list; the name reads back whole.
    EXPECT_TRUE(profile.write({{"mididevice", 3}}, {{"mididevicename", "JACK: a, b \xC3\xA9"}}));
    EXPECT_EQ(fileText(),
              QByteArray("[zr70]\nmididevice=3\nmididevicename=\"JACK: a, b \xC3\xA9\"\n"));
    const SettingsProfile next(path());
    EXPECT_EQ(next.readInt("mididevice").value_or(-1), 3);
    EXPECT_EQ(next.readText("mididevicename"), "JACK: a, b \xC3\xA9");
    EXPECT_FALSE(next.readText("xpos").has_value());
}

TEST_F(SettingsProfileTest, ThirtyTwoBitLimitsReadBackExactly) {
    SettingsProfile profile(path());
    profile.write({{"xpos", INT32_MIN}});
    profile.write({{"ypos", INT32_MAX}});
    EXPECT_TRUE(fileText().contains("xpos=-2147483648\n"));
    EXPECT_EQ(profile.readInt("xpos").value_or(20), INT32_MIN);
    EXPECT_EQ(profile.readInt("ypos").value_or(40), INT32_MAX);
}

TEST_F(SettingsProfileTest, ValueThatIsNoWholeThirtyTwoBitNumberReadsAsTheDefault) {
    writeFile("[zr70]\n"
              "a=12abc\n"
              "b=\n"
              "c=1.5\n"
              "d=0x10\n"
              "e=2147483648\n"
              "f=-2147483649\n"
              "g=1,2\n"
              "h=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
              "i=eleven\n"
              "j= 42 \n"
              "k=-7\n"
              "l=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1)\n"
              "m=@ByteArray(12)\n"
              "n=\"12\"\n");
    // Qt would read the variants as values of its own, and complain of them.
    static int complaints = 0;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString&) { ++complaints; });
    const SettingsProfile profile(path());
    for (const char* key : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "l", "m"}) {
        EXPECT_EQ(profile.readInt(key).value_or(99), 99) << key;
        EXPECT_FALSE(profile.readText(key) && std::string(key) >= "l") << key;
    }
    EXPECT_EQ(profile.readInt("j").value_or(99), 42);
    EXPECT_EQ(profile.readInt("k").value_or(99), -7);
    EXPECT_EQ(profile.readInt("n").value_or(99), 12);
    qInstallMessageHandler(previous);
    EXPECT_EQ(complaints, 0);
}

TEST_F(SettingsProfileTest, OtherSectionOrMissingKeyReadsAsTheDefault) {
    writeFile("[other]\nxpos=5\n[zr70]\nypos=6\n");
    const SettingsProfile profile(path());
    EXPECT_EQ(profile.readInt("xpos").value_or(20), 20);
    EXPECT_EQ(profile.readInt("ypos").value_or(40), 6);
    EXPECT_EQ(profile.readInt("mididevice").value_or(-1), -1);
}

TEST_F(SettingsProfileTest, WritingKeepsWhatElseTheFileHolds) {
    writeFile("[other]\nkept=1\n[zr70]\nypos=6\n");
    SettingsProfile profile(path());
    profile.write({{"xpos", 5}});
    EXPECT_EQ(fileText(), QByteArray("[other]\nkept=1\n[zr70]\nypos=6\nxpos=5\n"));
}

TEST_F(SettingsProfileTest, TwoRunningCopiesShareTheFileAndTheLastWriteOfAKeyWins) {
    SettingsProfile first(path());
    first.write({{"mididevice", 2}});
    first.write({{"xpos", 1}});

    // The other copy is another process, which moves its window.
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        SettingsProfile second(path());
        storeWindowPosition(second, 100, 200);
        ::_exit(second.readInt("mididevice").value_or(-1) == 2 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other copy missed a key";

    EXPECT_EQ(first.readInt("xpos").value_or(20), 100);
    first.write({{"mididevice", 3}});
    EXPECT_EQ(fileText(), QByteArray("[zr70]\nmididevice=3\nxpos=100\nypos=200\n"));
}

/// Runs `work` in another process and waits for it to end, but no longer than
/// `deadline`; one that is still running then is killed. The exit status, or
/// -1 for a process that did not end by itself.
int runInOtherProcess(const std::function<bool()>& work, std::chrono::seconds deadline) {
    const pid_t other = ::fork();
    if (other == 0) {
        ::_exit(work() ? 0 : 1);
    }
    const auto end = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    while (::waitpid(other, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(other, SIGKILL);
            ::waitpid(other, &status, 0);
            return -1;
        }
        ::usleep(20'000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SettingsProfileTest, CopiesWritingAtOnceKeepEachOthersKeys) {
    // Four copies, each moving its own key a hundred times.
    std::vector<pid_t> copies;
    for (int copy = 0; copy < 4; ++copy) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SettingsProfile profile(path());
            const std::string key = "key" + std::to_string(copy);
            bool ok = true;
            for (int step = 0; step < 100; ++step) {
                ok = profile.write({{key, step}}) && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        copies.push_back(child);
    }
    for (const pid_t copy : copies) {
        int status = 0;
        ASSERT_EQ(::waitpid(copy, &status, 0), copy);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const SettingsProfile profile(path());
    for (const char* key : {"key0", "key1", "key2", "key3"}) {
        EXPECT_EQ(profile.readInt(key), 99) << key << " in\n" << fileText().toStdString();
    }
}

TEST_F(SettingsProfileTest, NamesAreReadInAnyLetterCaseAndWrittenInLowerCase) {
    writeFile("[ZR70]\nMIDIDEVICE=2\nMidiDeviceName=JACK: x\nXPos=7\n");
    SettingsProfile profile(path());
    EXPECT_EQ(profile.readInt("mididevice"), 2);
    EXPECT_EQ(profile.readText("mididevicename"), "JACK: x");
    EXPECT_EQ(profile.readInt("xpos"), 7);
    EXPECT_TRUE(profile.write({{"mididevice", 3}}));
    EXPECT_EQ(fileText(), "[ZR70]\nmididevice=3\nMidiDeviceName=JACK: x\nXPos=7\n");
    EXPECT_EQ(profile.readInt("mididevice"), 3);
    EXPECT_EQ(profile.readInt("xpos"), 7);
}

TEST_F(SettingsProfileTest, WhatIsNoRegularFileOrAHeldLockHoldsNothingUp) {
    const QString lock = directory.path("zr70.INI.lck");
    const auto fifo = [](const QString& name) {
        return ::mkfifo(name.toUtf8().constData(), 0600) == 0;
    };
    const auto folder = [](const QString& name) { return QDir().mkdir(name); };
    struct Case {
        const char* what;
        QString name;
        std::function<bool(const QString&)> make;
    };
    for (const Case& hostile :
         {Case{"a FIFO as the settings file", directory.path("zr70.INI"), fifo},
          Case{"a folder as the settings file", directory.path("zr70.INI"), folder},
          Case{"a FIFO as the lock file", lock, fifo},
          Case{"a folder as the lock file", lock, folder}}) {
        SCOPED_TRACE(hostile.what);
        ASSERT_TRUE(hostile.make(hostile.name));
        const auto readAndWrite = [&] {
            SettingsProfile profile(path());
            return !profile.readInt("xpos") && !profile.write({{"xpos", 1}});
        };
        EXPECT_EQ(runInOtherProcess(readAndWrite, std::chrono::seconds(15)), 0);
        QDir().rmdir(hostile.name);
        QFile::remove(hostile.name);
    }

    // A live copy that holds the lock and never lets go (stopped, hung): the
    // write fails, and the next one does at once; once it is gone, writes
    // go through again.
    int held[2];
    ASSERT_EQ(::pipe(held), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int fd = ::open(lock.toUtf8().constData(), O_RDWR | O_CREAT, 0600);
        if (fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::write(held[1], "l", 1) == 1) {
            ::raise(SIGSTOP);
        }
        ::_exit(1);
    }
    char taken = 0;
    ASSERT_EQ(::read(held[0], &taken, 1), 1);
    SettingsProfile profile(path());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(profile.write({{"xpos", 2}}));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(profile.write({{"xpos", 3}}));
    EXPECT_LT(std::chrono::steady_clock::now() - start - waited, SettingsProfile::kLockWait)
        << "the second write waited again";
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_FALSE(profile.readInt("xpos"));
    EXPECT_TRUE(profile.write({{"xpos", 4}}));
    EXPECT_EQ(profile.readInt("xpos"), 4);
}

TEST_F(SettingsProfileTest, FailedWriteReturnsFalseAndChangesNothing) {
    // A directory cannot be created under a plain file, not even by root.
    writeFile("[zr70]\nxpos=1\n");
    SettingsProfile profile(FileName(directory.path("zr70.INI/below/zr70.INI")));
    EXPECT_FALSE(profile.write({{"xpos", 5}}));
    EXPECT_EQ(profile.readInt("xpos").value_or(20), 20);
    EXPECT_EQ(fileText(), QByteArray("[zr70]\nxpos=1\n"));
}

TEST_F(SettingsProfileTest, ProgramProfileIsNamedAfterTheExecutableInTheConfigDirectory) {
    std::unique_ptr<QCoreApplication> application;
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    const QString config = directory.path(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", config.toUtf8());

    SettingsProfile profile;
    const QString file = config + "/" + QCoreApplication::applicationName() + ".INI";
    EXPECT_EQ(profile.filePath(), FileName(file));
    // The configuration directory need not exist yet.
    EXPECT_TRUE(profile.write({{"mididevice", 3}}));
    EXPECT_TRUE(QFile::exists(file));

    if (previous.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", previous);
    }
}

TEST(StoreWindowPosition, WritesXThenYOnEveryMoveNegativesIncluded) {
    testing::MemorySettings settings;
    storeWindowPosition(settings, -5, 12);
    storeWindowPosition(settings, -6, -32000);
    EXPECT_EQ(settings.writes, (std::vector<std::pair<std::string, std::int32_t>>{
                                   {"xpos", -5}, {"ypos", 12}, {"xpos", -6}, {"ypos", -32000}}));
}

} // namespace
} // namespace zr70
