#pragma once

#include <QString>
#include <functional>
#include <sys/types.h>

// The system calls behind every file the program writes, replaced by tests to make a disc fill
// up or a flush or a rename fail, so that they can check what the user is told and that no file
// is lost. Each returns what the system call returns and leaves its error in errno.
struct FileOps {
    std::function<ssize_t(int fd, const void *data, size_t size)> write;
    std::function<int(int fd)> sync;
    std::function<int(const char *from, const char *to)> rename;
    // Renames, but never over a file that exists already (EEXIST then).
    std::function<int(const char *from, const char *to)> renameNoReplace;
};

// The calls in force: the system's own unless a test has put others in.
[[nodiscard]] FileOps &fileOps();
// Puts the system's own calls back.
void resetFileOps();

// Why a file operation failed, for a person, in Korean: "디스크에 남은 공간이 없습니다" for
// ENOSPC and EDQUOT, the read-only and permission cases, and so on; the system's own words for
// anything rarer.
[[nodiscard]] QString systemErrorText(int error);
