#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Runs a handler whenever a file system is mounted or unmounted: the kernel marks
// /proc/self/mountinfo with an exceptional condition on every change of the mount table.
class DriveWatcher : public QObject {
  public:
    explicit DriveWatcher(std::function<void()> onChange, QObject *parent = nullptr);
    ~DriveWatcher() override;

  private:
    void readTable();

    std::function<void()> m_onChange;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};
