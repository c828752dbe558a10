// The record folder beside the running test program, which the recorder
// writes into. Test programs run side by side under ctest -j, so a test that
// records or counts recordings holds this guard: it locks the folder for the
// guard's lifetime (other processes holding a guard wait) and empties it.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class RecordFolderGuard {
public:
    RecordFolderGuard();   // locks, creates and empties the folder
    ~RecordFolderGuard();  // empties the folder and unlocks
    RecordFolderGuard(const RecordFolderGuard&) = delete;
    RecordFolderGuard& operator=(const RecordFolderGuard&) = delete;

    const std::string& path() const { return path_; }  // ends in '/'
    void clear() const;                                // removes every entry
    std::vector<std::string> names() const;            // sorted file names
    std::string read(const std::string& name) const;   // a file's bytes
    void write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
    int lockFd_ = -1;
};

// The folder of the running program, ending in '/'.
std::string programFolder();

}  // namespace testsupport
