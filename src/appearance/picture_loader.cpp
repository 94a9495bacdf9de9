#include "appearance/picture_loader.h"

#include <QFile>
#include <QImageReader>
#include <filesystem>
#include <system_error>

namespace pressory::appearance {

std::optional<QImage> loadPicture(const std::string& path) {
    if (path.empty()) return QImage();

    // Decide from the file's status, before opening it: opening a FIFO for
    // reading waits for a writer, and a device can be read for ever.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(std::filesystem::path(path), ec);
    if (ec || !std::filesystem::is_regular_file(status)) return std::nullopt;

    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly) || file.isSequential()) return std::nullopt;

    // The decoders allocate through the reader's limit; the header's size is
    // checked here as well, for decoders that do not.
    QImageReader::setAllocationLimit(kPictureAllocationLimitMb);
    QImageReader reader(&file);
    const QSize size = reader.size();
    constexpr qint64 limitBytes = qint64{kPictureAllocationLimitMb} * 1024 * 1024;
    if (size.isValid() && qint64{size.width()} * size.height() * 4 > limitBytes) return std::nullopt;

    QImage image;
    if (!reader.read(&image) || image.isNull()) return std::nullopt;
    return image;
}

}  // namespace pressory::appearance
