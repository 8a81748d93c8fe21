#pragma once

#include "cdiritem.h"

#include <QList>
#include <QString>

// The entries of one remote listing in server order. Names are looked up without regard to letter
// case; two names that differ only in case (normal on Linux servers) are both kept, and a lookup
// finds the first.
class cDirList {
public:
    // Adds one entry; times are instants (kept in local time by cDirItem).
    void Add(qint64 lAttrib, const QDateTime& dtCreationTime, const QDateTime& dtLastAccessTime,
             const QDateTime& dtLastWriteTime, qint64 lFileSize, const QString& sFilename);
    // The same with local date values.
    void Add(qint64 lAttrib, double dtCreationTime, double dtLastAccessTime, double dtLastWriteTime,
             qint64 lFileSize, const QString& sFilename);

    // By 1-based position, or null outside 1..Count.
    const cDirItem* Item(qsizetype Index) const;
    // By name, ignoring letter case (the first of equal names), or null.
    const cDirItem* Item(const QString& Index) const;
    qsizetype Count() const { return m_items.size(); }
    // Empties the list.
    void Clear() { m_items.clear(); }

    // Iteration in insertion order.
    QList<cDirItem>::const_iterator begin() const { return m_items.cbegin(); }
    QList<cDirItem>::const_iterator end() const { return m_items.cend(); }

private:
    QList<cDirItem> m_items;
};
