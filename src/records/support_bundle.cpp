// The support bundle of a history record (see support_bundle.h).

#include "records/support_bundle.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "base/errors.h"
#include "base/platform.h"
#include "base/regular_file.h"
#include "base/text.h"
#include "records/history_list.h"
#include "records/password_mask.h"

namespace orv {
namespace {

struct BundledFile {
    std::string name;
    std::string bytes;
    bool masked = false;
};

struct LeftOut {
    std::string name;
    std::string why;  // UTF-8
};

Failure bundleFailure(const std::string& why) {
    return Failure(MessageKind::Error, cp1251::fromUtf8("Архив для поддержки не записан: " + why));
}

std::string recordName(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    const std::size_t slash = folder.rfind('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

const char* kindText(platform::FileKind kind) {
    switch (kind) {
        case platform::FileKind::Directory:
            return "это папка, а не обычный файл";
        case platform::FileKind::NamedPipe:
            return "это именованный канал, а не обычный файл";
        case platform::FileKind::Device:
            return "это устройство, а не обычный файл";
        case platform::FileKind::Socket:
            return "это сокет, а не обычный файл";
        default:
            return "это не обычный файл";
    }
}

// The record's regular files, each within its bound and masked unless the password goes too;
// the rest is named with the reason it stays out.
void collect(const std::string& folder, bool includePassword, std::vector<BundledFile>& files,
             std::vector<LeftOut>& leftOut) {
    std::vector<std::string> names;
    if (const int error = platform::listDirectory(folder, names)) {
        throw bundleFailure(folder + ": " + std::strerror(error));
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        platform::FileStatus status;
        if (platform::isSymbolicLink(path)) {
            leftOut.push_back({name, "это символическая ссылка, а не обычный файл"});
            continue;
        }
        if (const int error = platform::fileStatus(path, status)) {
            leftOut.push_back({name, std::strerror(error)});
            continue;
        }
        if (status.kind != platform::FileKind::Regular) {
            leftOut.push_back({name, kindText(status.kind)});
            continue;
        }
        BundledFile file{name, {}, false};
        try {
            file.bytes = readHistoryFile(folder, name);
        } catch (const FileRefused& refused) {
            leftOut.push_back({name, cp1251::toUtf8(refused.text())});
            continue;
        }
        if (!includePassword) {
            std::string masked = isTranscriptText(file.bytes)
                                     ? maskTranscriptPasswords(file.bytes)
                                     : maskCommandListPasswords(file.bytes);
            file.masked = masked != file.bytes;
            file.bytes = std::move(masked);
        }
        files.push_back(std::move(file));
    }
}

std::string indexText(const std::string& record, const std::vector<BundledFile>& files,
                      const std::vector<LeftOut>& leftOut, bool includePassword) {
    std::string text = "Запись истории операций: " + record + "\n";
    if (includePassword) {
        text += "Цифры пароля: включены как есть\n";
    } else {
        std::string where;
        for (const BundledFile& file : files) {
            if (file.masked) {
                where += (where.empty() ? "" : ", ") + file.name;
            }
        }
        text += "Цифры пароля: заменены на «*»" + (where.empty() ? "" : " (" + where + ")") + "\n";
    }
    text += "Файлы:\n";
    for (const BundledFile& file : files) {
        text += "  " + file.name + ": " + std::to_string(file.bytes.size()) + " байт\n";
    }
    if (!leftOut.empty()) {
        text += "Не вошли:\n";
        for (const LeftOut& file : leftOut) {
            text += "  " + file.name + ": " + file.why + "\n";
        }
    }
    return text;
}

// The archive, written into memory: the bundle's file is then replaced in one step.
class TarGz {
  public:
    TarGz() : archive_(archive_write_new(), archive_write_free) {
        if (!archive_ || archive_write_add_filter_gzip(archive_.get()) != ARCHIVE_OK ||
            archive_write_set_format_pax_restricted(archive_.get()) != ARCHIVE_OK ||
            archive_write_set_bytes_in_last_block(archive_.get(), 1) != ARCHIVE_OK ||
            archive_write_open2(archive_.get(), &bytes_, nullptr, &TarGz::append, nullptr,
                                nullptr) != ARCHIVE_OK) {
            fail();
        }
    }

    void folder(const std::string& path) { add(path, AE_IFDIR, 0700, nullptr); }
    void file(const std::string& path, const std::string& bytes) {
        add(path, AE_IFREG, 0600, &bytes);
    }

    std::string finish() {
        if (archive_write_close(archive_.get()) != ARCHIVE_OK) {
            fail();
        }
        return std::move(bytes_);
    }

  private:
    static la_ssize_t append(struct archive*, void* client, const void* buffer, size_t length) {
        static_cast<std::string*>(client)->append(static_cast<const char*>(buffer), length);
        return static_cast<la_ssize_t>(length);
    }

    void add(const std::string& path, unsigned type, unsigned mode, const std::string* bytes) {
        const std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(),
                                                                             archive_entry_free);
        archive_entry_set_pathname_utf8(entry.get(), path.c_str());
        archive_entry_set_filetype(entry.get(), type);
        archive_entry_set_perm(entry.get(), mode);
        archive_entry_set_size(entry.get(), bytes ? static_cast<la_int64_t>(bytes->size()) : 0);
        archive_entry_set_mtime(entry.get(), std::time(nullptr), 0);
        if (archive_write_header(archive_.get(), entry.get()) != ARCHIVE_OK) {
            fail();
        }
        if (bytes && !bytes->empty() &&
            archive_write_data(archive_.get(), bytes->data(), bytes->size()) !=
                static_cast<la_ssize_t>(bytes->size())) {
            fail();
        }
    }

    [[noreturn]] void fail() {
        const char* why = archive_ ? archive_error_string(archive_.get()) : nullptr;
        throw bundleFailure(why ? why : "библиотека архивов не смогла его собрать");
    }

    std::unique_ptr<struct archive, int (*)(struct archive*)> archive_;
    std::string bytes_;
};

}  // namespace

void writeSupportBundle(const std::string& recordFolder, const std::string& bundlePath,
                        bool includePassword) {
    platform::FileStatus status;
    if (platform::fileStatus(recordFolder, status) != 0 ||
        status.kind != platform::FileKind::Directory) {
        throw bundleFailure("записи «" + recordFolder + "» нет.");
    }
    const std::string record = recordName(recordFolder);
    std::vector<BundledFile> files;
    std::vector<LeftOut> leftOut;
    collect(recordFolder, includePassword, files, leftOut);

    TarGz archive;
    archive.folder(record);
    archive.file(record + "/" + kSupportBundleIndex,
                 indexText(record, files, leftOut, includePassword));
    for (const BundledFile& file : files) {
        archive.file(record + "/" + file.name, file.bytes);
    }
    const std::string bytes = archive.finish();
    // A bundle with the password is the user's alone.
    if (const int error = platform::replaceFile(
            bundlePath, bytes,
            includePassword ? platform::FileAccess::OwnerOnly : platform::FileAccess::Usual)) {
        throw bundleFailure(bundlePath + ": " + std::strerror(error));
    }
}

}  // namespace orv
