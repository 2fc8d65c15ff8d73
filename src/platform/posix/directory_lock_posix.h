#pragma once

#include <string>
#include <utility>

namespace pellquin {

// Creates the hive directory (mode 0700), and its parent (~/.config) when that is missing
// too. Returns 0 or the errno of the failure.
int EnsureHiveDirectory(const std::string& directory);

// An exclusive flock on the hive directory, shared by every process that changes a hive there.
// Re-entrant within one registry object. Where no lock can be had (read-only or network
// directory) changes go ahead unlocked; a change that then fails to write says so itself.
class DirectoryLock {
public:
    explicit DirectoryLock(std::string directory) : m_directory(std::move(directory)) {}
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    // Holds the lock for its lifetime, where it can be had.
    class Hold {
    public:
        explicit Hold(DirectoryLock& lock) : m_lock(lock) { m_lock.Acquire(); }
        ~Hold() { m_lock.Release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        DirectoryLock& m_lock;
    };

    // Whether this object holds the lock now: no other process is between reading a hive
    // and renaming its new version over it.
    bool IsHeld() const { return m_fd >= 0; }

private:
    void Acquire();
    void Release();

    std::string m_directory;
    int m_depth = 0;
    int m_fd = -1;
};

}  // namespace pellquin
