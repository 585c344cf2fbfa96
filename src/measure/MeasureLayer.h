// The finished measurements (and what is drawn after them, the scale bar) drawn once into a transparent
// view-sized layer and kept while nothing they show changes. The live view puts a new picture up many times a
// second under an unchanged list: painting the kept layer costs one blend instead of every line and label.
#pragma once

#include <QImage>

#include <cstdint>
#include <functional>

#include "imaging/BitmapHeader.h"
#include "imaging/ViewGeometry.h"

class Dc;
class MeasureList;

// A 64-bit digest of values (FNV-1a over their bytes), for telling whether what a layer shows has changed.
class Digest {
public:
    template <typename T>
    Digest& add(const T& value)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(&value);
        for (size_t i = 0; i < sizeof value; ++i)
            m_Hash = (m_Hash ^ p[i]) * 0x100000001B3ull;
        return *this;
    }
    // Every field of every item of the list that drawing reads.
    Digest& add(const MeasureList& list);
    uint64_t value() const { return m_Hash; }

private:
    uint64_t m_Hash = 0xCBF29CE484222325ull;
};

class MeasureLayer {
public:
    // What the layer was drawn for: the geometry, the two colours and a digest of everything drawn.
    struct Key {
        ViewGeometry geometry;
        ColorRef line = 0;
        ColorRef text = 0;
        uint64_t content = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };

    // The layer for key: drawn again by draw (into a Dc whose origin is the view's top-left corner) only when
    // the key differs from the last one.
    const QImage& Update(const Key& key, const std::function<void(Dc&)>& draw);
    // How often the layer was drawn (for tests and benchmarks).
    int64_t draws() const { return m_Draws; }

private:
    QImage m_Layer;
    Key m_Key;
    bool m_Valid = false;
    int64_t m_Draws = 0;
};
