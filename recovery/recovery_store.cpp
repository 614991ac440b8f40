#include "recovery/recovery_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace recovery {

namespace {

const QString kLockName = QStringLiteral("lock");
const QString kMarkerName = QStringLiteral("run");
const QString kRunPrefix = QStringLiteral("run-");
const QString kNewRunPrefix = QStringLiteral(".new-run-");

QString Reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

// Opens and locks a run's lock file. -1 when its program still runs (or no lock exists).
int TryLock(const QString& runPath, bool create) {
    const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
    const int fd = ::open(Native(runPath + u'/' + kLockName).constData(), flags, 0600);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class LockGuard {
  public:
    explicit LockGuard(int fd) : fd_(fd) {}
    ~LockGuard() {
        if (fd_ >= 0) ::close(fd_);
    }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

  private:
    int fd_;
};

QByteArray Marker(const char* state, qint64 endedMs) {
    QByteArray marker = QByteArray("STATE=") + state + '\n';
    if (endedMs >= 0) marker += "ENDED=" + QByteArray::number(endedMs) + '\n';
    return marker;
}

struct MarkerRead {
    QByteArray state;
    qint64 endedMs = -1;
};

MarkerRead ReadMarker(const QString& runPath) {
    MarkerRead read;
    QFile file(runPath + u'/' + kMarkerName);
    if (!file.open(QIODevice::ReadOnly)) return read;
    for (const QByteArray& line : file.read(4096).split('\n')) {
        if (line.startsWith("STATE=")) read.state = line.mid(6).trimmed();
        if (line.startsWith("ENDED=")) {
            bool ok = false;
            const qint64 value = line.mid(6).trimmed().toLongLong(&ok);
            if (ok) read.endedMs = value;
        }
    }
    return read;
}

QString CopyName(qint64 sequence) {
    return QStringLiteral("copy-%1.nrc").arg(sequence, 8, 10, QLatin1Char('0'));
}

QStringList CopyNamesNewestFirst(const QString& runPath) {
    return QDir(runPath).entryList({QStringLiteral("copy-*.nrc")}, QDir::Files,
                                   QDir::Name | QDir::Reversed);
}

std::optional<CopyHeader> ReadHeader(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray start = file.read(16 + kHeaderReadSize + 4);
    return DecodeCopyHeader(start, file.size());
}

void WriteAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw errno;
        }
        if (n == 0) throw ENOSPC;
        p += n;
        left -= n;
    }
}

}  // namespace

QString DefaultRecoveryFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/nuvtolvek/recovery");
}

void WriteFileDurably(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    QByteArray temp =
        Native(info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) throw textfiles::FileError(path, Reason(errno));
    try {
        WriteAll(fd, bytes);
        if (::fdatasync(fd) != 0) throw errno;
        const int closed = ::close(fd);
        if (closed != 0) {
            const int error = errno;
            ::unlink(temp.constData());
            throw textfiles::FileError(path, Reason(error));
        }
    } catch (int error) {
        ::close(fd);
        ::unlink(temp.constData());
        throw textfiles::FileError(path, Reason(error));
    }
    if (::rename(temp.constData(), Native(path).constData()) != 0) {
        const int error = errno;
        ::unlink(temp.constData());
        throw textfiles::FileError(path, Reason(error));
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(Native(info.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

RunFolder::RunFolder(QString recoveryFolder, qint64 startMs, qint64 pid)
    : root_(std::move(recoveryFolder)) {
    path_ = root_ + u'/' + kRunPrefix +
            QStringLiteral("%1-%2").arg(startMs, 13, 10, QLatin1Char('0')).arg(pid);
}

RunFolder::~RunFolder() {
    if (lockFd_ >= 0) ::close(lockFd_);
}

void RunFolder::Open() {
    if (IsOpen()) return;
    textfiles::MakePrivateFolders(root_);
    const QString name = QFileInfo(path_).fileName();
    const QString temp = root_ + u'/' + kNewRunPrefix + name.mid(kRunPrefix.size());
    if (::mkdir(Native(temp).constData(), 0700) != 0 && errno != EEXIST)
        throw textfiles::FileError(temp, Reason(errno));
    const int fd = TryLock(temp, true);
    if (fd < 0) {
        const int error = errno;
        QDir(temp).removeRecursively();
        throw textfiles::FileError(temp + u'/' + kLockName, Reason(error));
    }
    try {
        WriteFileDurably(temp + u'/' + kMarkerName, Marker("open", -1));
        if (::rename(Native(temp).constData(), Native(path_).constData()) != 0)
            throw textfiles::FileError(path_, Reason(errno));
    } catch (...) {
        QDir(temp).removeRecursively();
        ::close(fd);
        throw;
    }
    lockFd_ = fd;
}

qint64 RunFolder::WriteCopy(const RecoveryState& state, qint64 timeMs) {
    Open();
    const qint64 sequence = nextSequence_++;
    WriteFileDurably(path_ + u'/' + CopyName(sequence), EncodeCopy(state, timeMs, sequence));
    sequences_.push_back(sequence);
    // Only after the new copy is safely in place does the oldest one go.
    while (sequences_.size() > std::size_t(kCopiesPerRun)) {
        QFile::remove(path_ + u'/' + CopyName(sequences_.front()));
        sequences_.pop_front();
    }
    return sequence;
}

void RunFolder::Close(bool everythingSaved, qint64 nowMs) {
    if (!IsOpen()) return;
    const int fd = lockFd_;
    lockFd_ = -1;
    LockGuard release(fd);
    WriteFileDurably(path_ + u'/' + kMarkerName,
                     Marker(everythingSaved ? "closed" : "unsaved", nowMs));
}

ScanResult ScanRecoveryFolder(const QString& recoveryFolder, qint64 nowMs) {
    ScanResult result;
    const QDir root(recoveryFolder);
    if (!root.exists()) return result;

    // A run folder left half made by a program that died while making it.
    for (const QString& name :
         root.entryList({kNewRunPrefix + u'*'}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString path = root.filePath(name);
        const int fd = TryLock(path, false);
        if (fd < 0 && QFile::exists(path + u'/' + kLockName)) continue;
        LockGuard release(fd);
        QDir(path).removeRecursively();
    }

    const QStringList runs = root.entryList({kRunPrefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot,
                                            QDir::Name | QDir::Reversed);
    for (const QString& name : runs) {
        const QString path = root.filePath(name);
        const int fd = TryLock(path, false);
        if (fd < 0) continue;  // its program still runs (or it is not ours to judge)
        LockGuard release(fd);

        const MarkerRead marker = ReadMarker(path);
        const QStringList copies = CopyNamesNewestFirst(path);
        if (marker.state == "closed" || marker.state == "restored") {
            if (nowMs - marker.endedMs > kKeepEndedRunsMs) QDir(path).removeRecursively();
            continue;
        }
        if (copies.isEmpty()) {
            QDir(path).removeRecursively();
            continue;
        }
        RunInfo run{path, {}};
        for (const QString& copy : copies) {
            const QString copyPath = path + u'/' + copy;
            if (std::optional<CopyHeader> header = ReadHeader(copyPath)) {
                run.copies.append(CopyInfo{copyPath, *header});
            } else {
                result.damaged.append(copyPath);
            }
        }
        result.offered.append(run);
    }
    return result;
}

RecoveryState ReadCopy(const QString& copyPath) {
    std::optional<RecoveryState> state = DecodeCopy(textfiles::ReadFileBytes(copyPath));
    if (!state) throw textfiles::FileError(copyPath, QStringLiteral("копия повреждена"));
    return std::move(*state);
}

void DeleteRun(const QString& runPath) {
    const int fd = TryLock(runPath, false);
    if (fd < 0 && QFile::exists(runPath + u'/' + kLockName))
        throw textfiles::FileError(runPath, QStringLiteral("программа этого сеанса ещё работает"));
    LockGuard release(fd);
    if (!QDir(runPath).removeRecursively())
        throw textfiles::FileError(runPath, QStringLiteral("не удалось удалить"));
}

void MarkRunRestored(const QString& runPath, qint64 nowMs) {
    WriteFileDurably(runPath + u'/' + kMarkerName, Marker("restored", nowMs));
}

}  // namespace recovery
