/*******************************************************************************************
*  json.h — the one JSON value type of the launcher link
*
*  Everything the window exchanges with the launcher is JSON. The parser is forgiving on
*  purpose: it never fails, malformed input yields whatever could be read, numbers keep their
*  text and objects keep document order and duplicate members. Lookups never fail either: a
*  missing member or index gives a shared null value. There is no serializer; request bodies
*  are assembled as text with quoteJson for every string.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace vlr {

enum class JsonKind { Null, False, True, Number, String, Array, Object };

// The element list of an array or object: one pointer wide, so that a node costs 56 bytes
// rather than 88 and a hostile document full of tiny values stays within a few tens of bytes
// per input byte. The parser fills a list once at its final size; push_back and emplace_back
// grow it for code that builds values by hand. Declared for an incomplete element type (a
// Json holds lists of itself); its members are only instantiated where Json is complete.
template <typename T>
class JsonList {
public:
    JsonList() = default;
    JsonList(const JsonList& other) { copyFrom(other); }
    JsonList(JsonList&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    JsonList& operator=(const JsonList& other) {
        if (this != &other) {
            JsonList copy(other);
            swap(copy);
        }
        return *this;
    }
    JsonList& operator=(JsonList&& other) noexcept {
        JsonList taken(std::move(other));
        swap(taken);
        return *this;
    }
    ~JsonList() { release(); }

    T* begin() { return data(); }
    T* end() { return data() + size(); }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }
    std::size_t size() const { return block_ ? block_->size : 0; }
    bool empty() const { return size() == 0; }
    T& operator[](std::size_t index) { return data()[index]; }
    const T& operator[](std::size_t index) const { return data()[index]; }
    T& front() { return data()[0]; }
    const T& front() const { return data()[0]; }
    T& back() { return data()[size() - 1]; }
    const T& back() const { return data()[size() - 1]; }

    void clear() { release(); }
    void swap(JsonList& other) noexcept { std::swap(block_, other.block_); }

    // Room for `count` elements in all; a list that is filled once allocates exactly that.
    void reserve(std::size_t count) {
        if (count <= capacity()) return;
        Block* grown = allocate(count);
        for (std::size_t i = 0; i < size(); ++i) {
            new (elements(grown) + i) T(std::move(data()[i]));
            ++grown->size;
        }
        release();
        block_ = grown;
    }

    void push_back(const T& value) { emplace_back(value); }
    void push_back(T&& value) { emplace_back(std::move(value)); }
    template <typename... Args>
    T& emplace_back(Args&&... args) {
        if (size() == capacity()) {
            // Built aside first: the arguments may refer to an element that growing moves.
            T value(std::forward<Args>(args)...);
            reserve(capacity() < 4 ? 4 : capacity() * 2);
            return append(std::move(value));
        }
        return append(std::forward<Args>(args)...);
    }

private:
    struct Block {
        std::size_t size;
        std::size_t capacity;
    };

    static T* elements(Block* block) { return reinterpret_cast<T*>(block + 1); }
    T* data() const { return block_ ? elements(block_) : nullptr; }
    std::size_t capacity() const { return block_ ? block_->capacity : 0; }

    static Block* allocate(std::size_t count) {
        Block* block = static_cast<Block*>(::operator new(sizeof(Block) + count * sizeof(T)));
        block->size = 0;
        block->capacity = count;
        return block;
    }

    template <typename... Args>
    T& append(Args&&... args) {
        T* slot = new (data() + block_->size) T(std::forward<Args>(args)...);
        ++block_->size;
        return *slot;
    }

    void copyFrom(const JsonList& other) {
        if (other.empty()) return;
        block_ = allocate(other.size());
        for (const T& element : other) append(element);
    }

    void release() {
        // Detached first, so that the list is already empty while its elements go.
        Block* block = std::exchange(block_, nullptr);
        if (!block) return;
        for (std::size_t i = block->size; i > 0; --i) elements(block)[i - 1].~T();
        ::operator delete(block);
    }

    Block* block_ = nullptr;
};

struct Json {
    JsonKind kind = JsonKind::Null;
    std::string text;                                // String contents, or the raw token text
    JsonList<Json> items;                            // Array elements in document order
    JsonList<std::pair<std::string, Json>> members;  // Object members in document order

    bool isObject() const { return kind == JsonKind::Object; }
    bool isArray() const { return kind == JsonKind::Array; }
    bool isString() const { return kind == JsonKind::String; }
    bool isNumber() const { return kind == JsonKind::Number; }
    bool isNull() const { return kind == JsonKind::Null; }
};

// A byte text being read: current position and end.
struct JsonCursor {
    const char* pos;
    const char* end;
};

inline constexpr int kJsonMaxDepth = 64;

Json parseJson(JsonCursor& cursor, int depth);
Json parseJson(std::string_view text);  // convenience: a fresh cursor at depth 0

// Reads a string body whose opening quote was consumed; consumes the closing quote.
std::string readJsonString(JsonCursor& cursor);

const Json& jsonNull();
const Json& get(const Json& value, std::string_view key);
const Json& at(const Json& value, std::size_t index);
std::int64_t asInt(const Json& value);
const std::string& asText(const Json& value);
inline bool isTrue(const Json& value) { return value.kind == JsonKind::True; }

std::string quoteJson(std::string_view bytes);
Json jsonError(std::string_view message);

}  // namespace vlr
