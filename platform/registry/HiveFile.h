#pragma once

#include "platform/registry/HiveKey.h"
#include "platform/registry/Registry.h"

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace platform::registry {

// One hive file on disk and its content in memory. Reads reload the file when
// another process replaced it; every change is a read-modify-write under a
// lock between processes, so concurrent writers keep each other's keys. The
// caller serialises access within the process.
class HiveFile
{
public:
    explicit HiveFile(std::string path);

    const std::string& path() const { return m_path; }

    // The content as it is on disk now.
    const HiveKey& current();

    // Runs change on the content as it is on disk now, under the lock, and
    // writes the result (one rename) when change sets its flag. change's status
    // is returned; kWriteFault or kAccessDenied when the file cannot be read or
    // written, kTimeout when another process holds the lock for seconds.
    using Change = std::function<LSTATUS(HiveKey& root, bool& changed)>;
    LSTATUS modify(const Change& change);

private:
    struct Signature
    {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified {};
        timespec changed {};

        bool operator==(const Signature& other) const;
        static Signature of(const struct stat& info);
    };

    enum class LoadResult { Loaded, Unreadable };

    Signature signatureOnDisk() const;
    // Reads and parses the file; a corrupt file is moved aside (taking the lock
    // unless haveLock) and gives an empty hive.
    LoadResult load(HiveKey& root, Signature& signature, bool haveLock);
    bool moveAside(const std::string& reason);
    // Removes temporary copies of writers that died; only under the lock.
    void RemoveTemporaryCopies() const;

    std::string m_path;
    std::unique_ptr<HiveKey> m_root;
    Signature m_signature;
    bool m_loaded = false;
};

} // namespace platform::registry
