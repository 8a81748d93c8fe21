#pragma once

#include <QDateTime>
#include <QString>

// Windows-style attribute bits of a listed entry, as cDirList::Add receives them.
namespace AtributoFTP {
constexpr qint64 ReadOnly = 1;
constexpr qint64 Hidden = 2;
constexpr qint64 System = 4;
constexpr qint64 Directory = 16;
constexpr qint64 Archive = 32;
constexpr qint64 Normal = 128;
constexpr qint64 Temporary = 256;
constexpr qint64 Compressed = 2048;
constexpr qint64 Offline = 4096;
} // namespace AtributoFTP

// A date value: days since 30 December 1899 00:00 in local time, the fraction being the time of
// day (12:00 of that day is 0.5). An invalid QDateTime gives 0.
double DateValue(const QDateTime& dtTime);
// The inverse: a date value read as local time.
QDateTime DateTimeFromValue(double dtValue);
// A Windows file time (100-nanosecond intervals since 1 January 1601 UTC) as a local date value.
double FileTimeToDate(qint64 lFileTime);

// One entry of a remote listing. The three times are kept both as QDateTime and as local date
// values; the setters keep the two in step.
class cDirItem {
public:
    bool ReadOnly = false;
    bool Hidden = false;
    bool System = false;
    bool Directory = false;
    bool Archive = false;
    bool Normal = false;
    bool Temporary = false;
    bool Compressed = false;
    bool Offline = false;
    // The whole size: files beyond 4 GiB are not cut to 32 bits.
    qint64 FileSize = 0;
    QString filename;

    double CreationTime() const { return DateValue(m_creation); }
    double LastAccessTime() const { return DateValue(m_lastAccess); }
    double LastWriteTime() const { return DateValue(m_lastWrite); }
    const QDateTime& CreationDateTime() const { return m_creation; }
    const QDateTime& LastAccessDateTime() const { return m_lastAccess; }
    const QDateTime& LastWriteDateTime() const { return m_lastWrite; }
    void setCreationTime(const QDateTime& dtTime) { m_creation = dtTime; }
    void setLastAccessTime(const QDateTime& dtTime) { m_lastAccess = dtTime; }
    void setLastWriteTime(const QDateTime& dtTime) { m_lastWrite = dtTime; }
    void setCreationTime(double dtValue) { m_creation = DateTimeFromValue(dtValue); }
    void setLastAccessTime(double dtValue) { m_lastAccess = DateTimeFromValue(dtValue); }
    void setLastWriteTime(double dtValue) { m_lastWrite = DateTimeFromValue(dtValue); }

    // Sets the nine flags from attribute bits.
    void setAttributes(qint64 lAttrib);

private:
    QDateTime m_creation;
    QDateTime m_lastAccess;
    QDateTime m_lastWrite;
};
