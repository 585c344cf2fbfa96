// Kill tests of the file writers: the write runs in a forked child that is killed with SIGKILL at a random
// moment while it writes, and the file left behind must be byte for byte the old one or the new one.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "support/FileBytes.h"

// A folder for kill tests, in NX_KILL_DIR when set (a tmpfs makes the runs faster, a disk makes the sync
// that ends each write take longer), else in the temporary folder.
inline QString killTestBase()
{
    const QString base = qEnvironmentVariable("NX_KILL_DIR", QDir::tempPath());
    return base + QStringLiteral("/nx-kill-XXXXXX");
}

// How a child's write ended: killed while write() ran, killed after it returned (on the way out), or
// finished with write()'s answer.
enum class ChildEnd { KilledWriting, KilledAfter, Succeeded, Failed };

// Runs write() in a forked child and sends it SIGKILL `delay` after the child says it starts (no delay: lets
// it finish); returns when the child is gone, with the time write() took in *took when it finished. The child
// reports through a pipe when write() starts and when it returns. Fork copies only the calling thread: the
// writers under test are plain file code, safe to run there.
inline ChildEnd writeInChild(const std::function<bool()>& write, std::optional<std::chrono::microseconds> delay,
    std::chrono::microseconds* took = nullptr)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return ChildEnd::Failed;
    std::fflush(nullptr); // nothing buffered may be written twice
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        const char start = 's';
        if (::write(pipeEnds[1], &start, 1) != 1)
            _exit(1);
        const bool ok = write();
        const char done = 'd';
        _exit(::write(pipeEnds[1], &done, 1) == 1 && ok ? 0 : 1);
    }
    close(pipeEnds[1]);
    if (pid < 0) {
        close(pipeEnds[0]);
        return ChildEnd::Failed;
    }
    char got = 0;
    const bool started = read(pipeEnds[0], &got, 1) == 1;
    const auto start = std::chrono::steady_clock::now();
    if (delay) {
        if (started)
            std::this_thread::sleep_for(*delay);
        kill(pid, SIGKILL);
    }
    // After the child is gone the pipe holds its "done" or nothing.
    const bool done = started && read(pipeEnds[0], &got, 1) == 1;
    if (took)
        *took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        return done ? ChildEnd::KilledAfter : ChildEnd::KilledWriting;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildEnd::Succeeded : ChildEnd::Failed;
}

// What a series of kill tries left.
struct KillTally {
    int tries = 0;
    int old = 0; // the old file, byte for byte
    int fresh = 0; // the new file, byte for byte
    int partial = 0; // the old bytes whole, followed by only part of what was added (an append cut short)
    int other = 0; // anything else: a mixture, a truncation, no file
    int failed = 0; // the child finished but its write said it failed
    int killedWriting = 0; // kills that landed while the write function ran
    int leftovers = 0; // temporaries a killed writer left beside the file
    std::chrono::microseconds typical {};
};

// One file kind under test. reset() puts the old file in place (in this process, not killed); write() writes
// the new one, as the program does; newBytes is what a finished write leaves.
struct KillCase {
    QString path;
    QByteArray oldBytes;
    QByteArray newBytes;
    std::function<void()> reset;
    std::function<bool()> write;
};

// A case whose old and new files are what the program's own writer leaves at path: writeOld once, writeNew
// once and then again under the kills.
inline KillCase killCaseOf(const QString& path, const std::function<bool()>& writeOld, std::function<bool()> writeNew)
{
    KillCase c;
    c.path = path;
    EXPECT_TRUE(writeNew());
    c.newBytes = readBytes(path);
    EXPECT_TRUE(writeOld());
    c.oldBytes = readBytes(path);
    c.reset = [path, old = c.oldBytes] { writeBytes(path, old); };
    c.write = std::move(writeNew);
    return c;
}

// Removes the temporaries a killed writer left beside path ("<name>.XXXXXX") and says how many there were.
inline int removeLeftovers(const QString& path)
{
    const QFileInfo info(path);
    QDir dir = info.dir();
    int count = 0;
    for (const QString& name : dir.entryList({ info.fileName() + QStringLiteral(".*") }, QDir::Files | QDir::Hidden))
        count += dir.remove(name) ? 1 : 0;
    return count;
}

// The threads of this process: a forked child has only the calling one, and a lock another thread held at
// the fork would never be released there.
inline int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// The typical duration of the write in a child (the median of three undisturbed runs), then `tries` kills at
// a uniformly random moment between the child's start and that duration.
inline KillTally runKillTries(const KillCase& c, int tries = 100, uint32_t seed = 1)
{
    KillTally tally;
    EXPECT_EQ(threadCount(), 1) << "a child forked now might hang on a lock another thread holds";
    std::vector<std::chrono::microseconds> runs;
    for (int i = 0; i < 3; ++i) {
        c.reset();
        std::chrono::microseconds took {};
        EXPECT_EQ(writeInChild(c.write, std::nullopt, &took), ChildEnd::Succeeded);
        runs.push_back(took);
        EXPECT_EQ(readBytes(c.path), c.newBytes) << "an undisturbed write leaves the new file";
    }
    std::sort(runs.begin(), runs.end());
    tally.typical = runs[1];

    std::mt19937 rng(seed);
    std::uniform_int_distribution<int64_t> delay(0, tally.typical.count());
    for (int i = 0; i < tries; ++i) {
        c.reset();
        const ChildEnd end = writeInChild(c.write, std::chrono::microseconds(delay(rng)));
        const QByteArray now = readBytes(c.path);
        const bool exists = QFileInfo::exists(c.path);
        ++tally.tries;
        if (end == ChildEnd::Failed)
            ++tally.failed;
        if (end == ChildEnd::KilledWriting)
            ++tally.killedWriting;
        // Once the write has returned, only the new file will do.
        const bool written = end == ChildEnd::Succeeded || end == ChildEnd::KilledAfter;
        if (!exists || (written && now != c.newBytes))
            ++tally.other;
        else if (now == c.oldBytes)
            ++tally.old;
        else if (now == c.newBytes)
            ++tally.fresh;
        else if (now.startsWith(c.oldBytes) && c.newBytes.startsWith(now))
            ++tally.partial;
        else
            ++tally.other;
        tally.leftovers += removeLeftovers(c.path);
    }
    std::printf("kill tries %d (typical write %lld us), %d killed while writing: old %d, new %d, partial %d, "
                "other %d, failed %d, leftover temporaries %d\n",
        tally.tries, static_cast<long long>(tally.typical.count()), tally.killedWriting, tally.old, tally.fresh,
        tally.partial, tally.other, tally.failed, tally.leftovers);
    return tally;
}

// The verdict of the kinds written through a temporary: never anything but the old or the new file, no write
// that says it failed, and some kills that landed while the write ran (otherwise the test proved nothing).
inline void expectOldOrNew(const KillTally& t)
{
    EXPECT_EQ(t.other, 0);
    EXPECT_EQ(t.partial, 0);
    EXPECT_EQ(t.failed, 0);
    EXPECT_EQ(t.old + t.fresh, t.tries);
    EXPECT_GT(t.killedWriting, 0) << "no kill landed during the write";
}
