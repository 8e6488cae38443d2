#include "platform/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <cerrno>
#include <climits>
#include <deque>
#include <random>
#include <string>

#include "platform/removal_fs.h"

namespace nimbrel::SettingsFile {

namespace {

// A link may be followed when it is the running user's own or root's (a system link such as
// /home -> /usr/home); another user's link could lead anywhere that user likes.
bool trustedOwner(uid_t owner) {
    return owner == 0 || owner == geteuid();
}

std::deque<std::string> components(const std::string& path) {
    std::deque<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.emplace_back(path, start, end - start);
        start = end + 1;
    }
    return parts;
}

// The folder `path` opened one component at a time, following only trusted links; made when
// missing if `make`. An invalid descriptor when it cannot be reached so.
UniqueFd openFolder(const std::string& path, bool make) {
    UniqueFd at(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::deque<std::string> parts = components(path);
    int links = 0;
    while (at && !parts.empty()) {
        const std::string part = std::move(parts.front());
        parts.pop_front();
        if (part == ".") continue;
        struct stat st {};
        if (::fstatat(at.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT || !make || part == ".." ||
                (::mkdirat(at.get(), part.c_str(), 0700) != 0 && errno != EEXIST) ||
                ::fstatat(at.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                return {};
        }
        if (S_ISLNK(st.st_mode)) {
            if (!trustedOwner(st.st_uid) || ++links > 40) return {};
            char target[PATH_MAX];
            const ssize_t n = ::readlinkat(at.get(), part.c_str(), target, sizeof target);
            struct stat again {};
            // The link read is the link judged: not swapped for another meanwhile.
            if (n <= 0 || size_t(n) >= sizeof target ||
                ::fstatat(at.get(), part.c_str(), &again, AT_SYMLINK_NOFOLLOW) != 0 ||
                again.st_ino != st.st_ino || again.st_dev != st.st_dev)
                return {};
            const std::string text(target, size_t(n));
            std::deque<std::string> more = components(text);
            parts.insert(parts.begin(), more.begin(), more.end());
            if (text.front() == '/') at = UniqueFd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
            continue;
        }
        at = UniqueFd(::openat(at.get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return at;
}

struct Place {
    UniqueFd folder;
    std::string name;
};

Place place(const QString& path, bool make) {
    const std::string p = QFile::encodeName(path).toStdString();
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos || slash + 1 == p.size()) return {};
    return {openFolder(p.substr(0, slash + 1), make), p.substr(slash + 1)};
}

// The file's bytes: read through a link only when the link is trusted.
std::optional<QByteArray> readBytes(const Place& at) {
    struct stat st {};
    if (!at.folder || ::fstatat(at.folder.get(), at.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    const bool link = S_ISLNK(st.st_mode);
    if (link && !trustedOwner(st.st_uid)) return std::nullopt;
    UniqueFd fd(::openat(at.folder.get(), at.name.c_str(),
                         O_RDONLY | O_CLOEXEC | O_NONBLOCK | (link ? 0 : O_NOFOLLOW)));
    struct stat opened {};
    if (!fd || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) return std::nullopt;
    QByteArray bytes;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd.get(), buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, qsizetype(n));
    return bytes;
}

// The keys of INI text, parsed by QSettings from a private copy; nothing when no copy could be
// made (the temporary folder full or not writable).
std::optional<QVariantMap> parse(const QByteArray& bytes) {
    QTemporaryDir dir;
    if (!dir.isValid()) return std::nullopt;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
            return std::nullopt;
    }
    QVariantMap values;
    QSettings settings(file, QSettings::IniFormat);
    for (const QString& key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

// The INI text of `values`; nothing when QSettings could not write it.
std::optional<QByteArray> serialise(const QVariantMap& values) {
    QTemporaryDir dir;
    if (!dir.isValid()) return std::nullopt;
    const QString file = dir.filePath(QStringLiteral("settings.ini"));
    {
        QSettings settings(file, QSettings::IniFormat);
        for (auto it = values.begin(); it != values.end(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
        if (settings.status() != QSettings::NoError) return std::nullopt;
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return values.isEmpty() ? std::optional(QByteArray()) : std::nullopt;
    return in.readAll();
}

}  // namespace

QVariantMap read(const QString& path) {
    const auto bytes = readBytes(place(path, false));
    return bytes ? parse(*bytes).value_or(QVariantMap()) : QVariantMap();
}

bool update(const QString& path, const std::vector<Change>& changes) {
    const Place at = place(path, true);
    if (!at.folder) return false;
    // What the file holds must be known before it is replaced: a copy that could not be parsed
    // (the temporary folder full) would otherwise save only the changes, and lose every other key.
    const std::optional<QByteArray> old = readBytes(at);
    std::optional<QVariantMap> parsed = old ? parse(*old) : QVariantMap();
    if (!parsed) return false;
    QVariantMap& values = *parsed;
    for (const auto& [key, value] : changes) {
        if (value)
            values.insert(key, *value);
        else
            values.remove(key);
    }
    const std::optional<QByteArray> text = serialise(values);
    if (!text) return false;
    const QByteArray& bytes = *text;

    // A plain file keeps its owner and mode; a new file, or one that replaces a link, is private.
    struct stat was {};
    const bool plain =
        ::fstatat(at.folder.get(), at.name.c_str(), &was, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(was.st_mode);
    std::string temp;
    UniqueFd fd;
    std::random_device random;
    for (int attempt = 0; attempt < 16 && !fd; ++attempt) {
        temp = "." + at.name + "." + std::to_string(random()) + ".tmp";
        fd = UniqueFd(::openat(at.folder.get(), temp.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd && errno != EEXIST) return false;
    }
    if (!fd) return false;
    bool ok = true;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + done, size_t(bytes.size() - done));
        ok = n > 0;
        done += n > 0 ? n : 0;
    }
    if (ok && plain) {
        ::fchmod(fd.get(), was.st_mode & 07777);
        if (geteuid() == 0) (void)::fchown(fd.get(), was.st_uid, was.st_gid);
    }
    ok = ok && ::fsync(fd.get()) == 0;
    fd.reset();
    if (ok && ::renameat(at.folder.get(), temp.c_str(), at.folder.get(), at.name.c_str()) == 0) return true;
    ::unlinkat(at.folder.get(), temp.c_str(), 0);
    return false;
}

}  // namespace nimbrel::SettingsFile
