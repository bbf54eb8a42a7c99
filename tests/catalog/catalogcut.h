#pragma once
// A catalog cut short after its first entry, with its recorded length made to agree: it passes the
// version check, and only reading it shows the entries that are missing.

#include <QByteArray>
#include <gtest/gtest.h>

#include "catalogfile.h"

inline QByteArray cutAfterFirstEntry(const QByteArray& catalog) {
    CatalogReader reader(catalog);
    CatalogHeader header;
    CatalogEntry first;
    EXPECT_EQ(reader.readHeader(header), CatalogError::None);
    EXPECT_EQ(reader.readEntry(first), CatalogError::None);
    QByteArray cut = catalog.first(reader.position());
    QByteArray length;
    for (int i = 0; i < 8; ++i) length.append(char((quint64(cut.size()) >> (8 * i)) & 0xFF));
    return cut.replace(CatalogFile::kV3LengthOffset, 8, length);
}
