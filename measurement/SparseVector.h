#pragma once
#include <cstddef>
#include <memory>
#include <vector>

// A vector that costs one pointer while it is empty. For what few series hold (a
// conversion record of their own, attachments), so that the many series of a large
// project without them do not carry three words for each. clear() gives the block back.
template <class T> class CSparseVector
{
public:
    CSparseVector() = default;
    CSparseVector(const CSparseVector& other) { *this = other; }
    CSparseVector& operator=(const CSparseVector& other)
    {
        if (&other != this)
            m_items = other.empty() ? nullptr : std::make_unique<std::vector<T>>(*other.m_items);
        return *this;
    }
    CSparseVector(CSparseVector&&) noexcept = default;
    CSparseVector& operator=(CSparseVector&&) noexcept = default;

    bool empty() const { return !m_items || m_items->empty(); }
    size_t size() const { return m_items ? m_items->size() : 0; }
    T* data() { return m_items ? m_items->data() : nullptr; }
    const T* data() const { return m_items ? m_items->data() : nullptr; }
    T* begin() { return data(); }
    T* end() { return data() + size(); }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }
    T& operator[](size_t i) { return (*m_items)[i]; }
    const T& operator[](size_t i) const { return (*m_items)[i]; }

    void clear() { m_items.reset(); }
    void resize(size_t n)
    {
        if (n == 0)
            clear();
        else
            Items().resize(n);
    }
    template <class It> void assign(It first, It last)
    {
        if (first == last)
            clear();
        else
            Items().assign(first, last);
    }
    // A copy as a plain vector.
    std::vector<T> ToVector() const { return m_items ? *m_items : std::vector<T>(); }

private:
    std::vector<T>& Items()
    {
        if (!m_items)
            m_items = std::make_unique<std::vector<T>>();
        return *m_items;
    }

    std::unique_ptr<std::vector<T>> m_items;
};
