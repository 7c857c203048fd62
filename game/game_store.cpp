// SPDX-License-Identifier: GPL-3.0-or-later
// Saved games on disk: their folder and names, the durable replace, and the
// writer thread.
#include "game/game_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>

#include "platform/files.h"
#include "platform/xdg_dirs.h"

namespace game {

namespace {

bool fail(std::string& error, const std::string& call, const std::string& path) {
    error = call + "(\"" + path + "\"): " + strerror(errno);
    return false;
}

bool writeAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

std::string gamesDirectory() {
    std::string app = xdgAppDirectory("XDG_STATE_HOME", ".local/state");
    return app.empty() ? "" : app + "/games";
}

std::string gameFile(const std::string& directory, const std::string& key) { return directory + "/" + key + ".json"; }
std::string previousGameFile(const std::string& directory, const std::string& key) {
    return directory + "/" + key + ".prev.json";
}
std::string badGameFile(const std::string& directory, const std::string& key) {
    return directory + "/" + key + ".bad.json";
}

bool replaceFileDurably(const std::string& path, const std::string& content, std::string& error) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    if (!makeDirectories(dir, 0700, &error)) return false;
    const std::string temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return fail(error, "open", temp);
    if (!writeAll(fd, content) || fsync(fd) != 0) {
        fail(error, "write", temp);
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    if (close(fd) != 0) return fail(error, "close", temp);
    if (rename(temp.c_str(), path.c_str()) != 0) return fail(error, "rename", temp);
    // The rename itself lasts only once the folder is on disk.
    int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return fail(error, "open", dir);
    bool synced = fsync(dirFd) == 0;
    close(dirFd);
    return synced || fail(error, "fsync", dir);
}

bool readWholeFile(const std::string& path, std::string& content) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    content.clear();
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        content.append(buf, size_t(n));
    }
    close(fd);
    return n == 0;
}

GameWriter::GameWriter(std::string path) : path_(std::move(path)), thread_([this] { work(); }) {}

GameWriter::~GameWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void GameWriter::save(std::string content, uint64_t sequence) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = std::move(content);
        pendingSequence_ = sequence;
        hasPending_ = true;
    }
    changed_.notify_all();
}

void GameWriter::drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !hasPending_ && !writing_; });
}

uint64_t GameWriter::savedSequence() {
    std::lock_guard<std::mutex> lock(mutex_);
    return saved_;
}

std::vector<int64_t> GameWriter::saveTimes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return times_;
}

void GameWriter::work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // Stopping waits for what is pending: the writer is drained at exit.
        changed_.wait(lock, [this] { return hasPending_ || stopping_; });
        if (!hasPending_) return;
        std::string content = std::move(pending_);
        uint64_t sequence = pendingSequence_;
        hasPending_ = false;
        writing_ = true;
        lock.unlock();
        auto start = std::chrono::steady_clock::now();
        std::string error;
        bool ok = replaceFileDurably(path_, content, error);
        auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        lock.lock();
        writing_ = false;
        times_.push_back(took.count());
        if (ok) saved_ = sequence;
        if (!ok && !reported_) {
            reported_ = true;
            std::cerr << "rvl-reader: the game cannot be saved: " << error << std::endl;
        }
        changed_.notify_all();
    }
}

} // namespace game
