#include "cdiritem.h"

#include <QDate>
#include <QTime>

#include <cmath>

namespace {
const QDate DiaCero(1899, 12, 30);
constexpr double MsPorDia = 86400000.0;
} // namespace

double DateValue(const QDateTime& dtTime) {
    if (!dtTime.isValid())
        return 0;
    const QDateTime local = dtTime.toLocalTime();
    return double(DiaCero.daysTo(local.date())) + local.time().msecsSinceStartOfDay() / MsPorDia;
}

QDateTime DateTimeFromValue(double dtValue) {
    const double dias = std::floor(dtValue);
    const qint64 ms = qint64(std::llround((dtValue - dias) * MsPorDia));
    return QDateTime(DiaCero.addDays(qint64(dias)), QTime(0, 0)).addMSecs(ms);
}

double FileTimeToDate(qint64 lFileTime) {
    // 11 644 473 600 seconds separate 1 January 1601 from 1 January 1970.
    constexpr qint64 MsHasta1970 = 11644473600000LL;
    return DateValue(QDateTime::fromMSecsSinceEpoch(lFileTime / 10000 - MsHasta1970, Qt::UTC));
}

void cDirItem::setAttributes(qint64 lAttrib) {
    ReadOnly = lAttrib & AtributoFTP::ReadOnly;
    Hidden = lAttrib & AtributoFTP::Hidden;
    System = lAttrib & AtributoFTP::System;
    Directory = lAttrib & AtributoFTP::Directory;
    Archive = lAttrib & AtributoFTP::Archive;
    Normal = lAttrib & AtributoFTP::Normal;
    Temporary = lAttrib & AtributoFTP::Temporary;
    Compressed = lAttrib & AtributoFTP::Compressed;
    Offline = lAttrib & AtributoFTP::Offline;
}
