#include "cdirlist.h"

void cDirList::Add(qint64 lAttrib, const QDateTime& dtCreationTime,
                   const QDateTime& dtLastAccessTime, const QDateTime& dtLastWriteTime,
                   qint64 lFileSize, const QString& sFilename) {
    cDirItem item;
    item.setAttributes(lAttrib);
    item.setCreationTime(dtCreationTime);
    item.setLastAccessTime(dtLastAccessTime);
    item.setLastWriteTime(dtLastWriteTime);
    item.FileSize = lFileSize;
    item.filename = sFilename;
    m_items.append(item);
}

void cDirList::Add(qint64 lAttrib, double dtCreationTime, double dtLastAccessTime,
                   double dtLastWriteTime, qint64 lFileSize, const QString& sFilename) {
    Add(lAttrib, DateTimeFromValue(dtCreationTime), DateTimeFromValue(dtLastAccessTime),
        DateTimeFromValue(dtLastWriteTime), lFileSize, sFilename);
}

const cDirItem* cDirList::Item(qsizetype Index) const {
    if (Index < 1 || Index > m_items.size())
        return nullptr;
    return &m_items[Index - 1];
}

const cDirItem* cDirList::Item(const QString& Index) const {
    for (const cDirItem& item : m_items)
        if (item.filename.compare(Index, Qt::CaseInsensitive) == 0)
            return &item;
    return nullptr;
}
