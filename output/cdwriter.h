#pragma once
// Writing the staging folder to a disc, or to an ISO 9660 image file when there is no writer. Both
// run xorriso (found through PATH); the disc and the image get Rock Ridge and Joliet names, so the
// pictures keep their long names on every system that reads the disc.
//
// CdWriter is the seam the Burn CD flow talks to: the window and snaplore-cli use XorrisoCdWriter,
// flow tests a fake.

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace cdwriter {

inline const QString kProgram = QStringLiteral("xorriso");

// "SNAPLORE_" and the date as YYYYMMDD.
QString defaultVolumeName(const QDate& date = QDate::currentDate());
// Why `name` cannot be a disc's volume name (empty, longer than 32 characters, or holding
// characters other than A-Z, a-z, 0-9, "_", "-", "." and space); empty when it can.
QString volumeNameProblem(const QString& name);

// The devices ("/dev/srN") of /proc/sys/dev/cdrom/info's drives that can write CD-R, in the order
// the table names them. The table has one column per drive: "drive name:" gives their names and
// "Can write CD-R:" a 1 or 0 for each.
QStringList recordableDrives(const QString& cdromInfo);

// The percentage done that one line of xorriso's messages reports ("xorriso : UPDATE : Writing:
// 20400s   18.1%   fifo   5%  buf  50%"): the first percentage of an UPDATE line, which is the
// write's own (fifo and buffer fill follow it). None for any other line.
std::optional<double> progressPercent(const QString& line);
// The text of an error line ("xorriso : FAILURE : Cannot ..." and the SORRY, FATAL and ABORT
// severities, of xorriso and of its libraries); empty for any other line.
QString errorText(const QString& line);

}  // namespace cdwriter

struct CdWriteResult {
    bool ok = false;
    bool cancelled = false;
    QString error;  // for a person: xorriso's own error lines, or why it could not run
};

// Called with the percentage done (0-100) while writing, and at least every tenth of a second;
// returns false to stop the write.
using CdProgress = std::function<bool(int percent)>;

class CdWriter {
public:
    virtual ~CdWriter() = default;

    // The drives that can write a CD-R; empty when there is none.
    virtual QStringList recordableDrives() = 0;
    // Writes the folder's content to the disc in `device` as the disc's root.
    virtual CdWriteResult burn(const QString& folder, const QString& volumeName, const QString& device,
                               const CdProgress& progress) = 0;
    // Writes the folder's content as an ISO 9660 image to the file `target`. The target is replaced
    // only by a complete image: a failed or cancelled write leaves it as it was.
    virtual CdWriteResult writeImage(const QString& folder, const QString& volumeName, const QString& target,
                                     const CdProgress& progress) = 0;
};

class XorrisoCdWriter : public CdWriter {
public:
    // `cdromInfo` is the drive table read by recordableDrives().
    explicit XorrisoCdWriter(QString cdromInfo = QStringLiteral("/proc/sys/dev/cdrom/info"));

    QStringList recordableDrives() override;
    CdWriteResult burn(const QString& folder, const QString& volumeName, const QString& device,
                       const CdProgress& progress) override;
    CdWriteResult writeImage(const QString& folder, const QString& volumeName, const QString& target,
                             const CdProgress& progress) override;

    // xorriso's arguments for writing `folder` to `device` ("-" is standard output).
    static QStringList arguments(const QString& folder, const QString& volumeName, const QString& device);

private:
    QString cdromInfo_;
};
