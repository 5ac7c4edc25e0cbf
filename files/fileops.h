#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
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
    // A second name for a file (a hard link); fails where the file system has none.
    std::function<int(const char *from, const char *to)> link;
    std::function<int(const char *path)> unlink;
};

// The calls in force: the system's own unless a test has put others in.
[[nodiscard]] FileOps &fileOps();
// Puts the system's own calls back.
void resetFileOps();

// Why a file operation failed, for a person, in Korean: "디스크에 남은 공간이 없습니다" for
// ENOSPC and EDQUOT, the read-only and permission cases, and so on; the system's own words for
// anything rarer.
[[nodiscard]] QString systemErrorText(int error);

// The program's own temporary files: ".tvk-" and six random letters or digits, in the folder of
// the file they will replace. A short name of fixed length, so that any name a file system takes
// can be written through one; and one pattern, so that those a crash left can be found again.
[[nodiscard]] QByteArray temporaryNameTemplate(const QByteArray &folder);
[[nodiscard]] bool isTemporaryName(QStringView name);
// Creates a new temporary file in `folder` and opens it for writing; its path goes to `path`.
// Returns the descriptor, or -1 with errno set.
int createTemporaryFile(const QByteArray &folder, QByteArray &path);
// The permissions of a file written to replace the one at `target`: that file's own (never those
// of what a symbolic link there points to), and readable by its owner, so that the program can
// read back what it wrote; where no regular file is there, those the umask gives a new file.
[[nodiscard]] mode_t replacementMode(const QByteArray &target);
// Makes the names in a folder (renames, links, removals) durable; errors are left alone.
void syncFolder(const QByteArray &folder);
