// A narrow view of the system registry, so that portable code (settings,
// account options, filter switches, the screen-saver summary) can be tested
// against an in-memory registry (MemoryRegistry) and run against the real one
// (WinRegistry, Windows build only).
//
// Handles, type codes and error codes are the registry's own numbers, so the
// Win32 implementation passes them through unchanged and portable code can
// compare against them without <windows.h>.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

using RegHandle = uintptr_t;  // 0 is never a valid open key

// The predefined roots: the values of HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, which are 32-bit negative numbers widened with their sign.
constexpr RegHandle kRegCurrentUser = static_cast<RegHandle>(static_cast<intptr_t>(static_cast<int32_t>(0x80000001u)));
constexpr RegHandle kRegLocalMachine = static_cast<RegHandle>(static_cast<intptr_t>(static_cast<int32_t>(0x80000002u)));

// Value types.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

// Error codes the implementations return (0 is success).
constexpr uint32_t kRegOk = 0;
constexpr uint32_t kRegFileNotFound = 2;    // ERROR_FILE_NOT_FOUND
constexpr uint32_t kRegAccessDenied = 5;    // ERROR_ACCESS_DENIED
constexpr uint32_t kRegInvalidHandle = 6;   // ERROR_INVALID_HANDLE
constexpr uint32_t kRegMoreData = 234;      // ERROR_MORE_DATA
constexpr uint32_t kRegNoMoreItems = 259;   // ERROR_NO_MORE_ITEMS
constexpr uint32_t kRegInvalidDatatype = 1804;  // ERROR_INVALID_DATATYPE

enum class RegAccess { Read, AllAccess };

// The rules by which the stored on/off values have always been read; each
// store keeps its own, so that values other than 0 and 1 read as before.
enum class FlagRule {
    OneIsTrue,      // settings and the log: true only for 1; any other number, or none, is false
    NonZeroIsTrue,  // account options: any number but 0 is true; a missing value keeps the flag
    DwordNonZero,   // filter switches: only a 4-byte number counts, true unless 0; else the flag stays
};

class Registry {
public:
    virtual ~Registry() = default;

    // Open or create `subKey` (backslash-separated; empty means `parent`
    // itself) under `parent`, a root or an open key. On success `key` is an
    // open handle the caller closes with close(); on failure it is 0.
    virtual uint32_t open(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) = 0;
    virtual uint32_t create(RegHandle parent, std::string_view subKey, RegAccess access, RegHandle& key) = 0;
    virtual void close(RegHandle key) = 0;

    // The raw bytes and type of a value; an empty name is the key's default
    // value. String values are returned as stored, with their terminating
    // zero when they have one.
    virtual uint32_t query(RegHandle key, std::string_view name, uint32_t& type, std::string& data) = 0;
    virtual uint32_t set(RegHandle key, std::string_view name, uint32_t type, std::string_view data) = 0;

    // Names by index from 0; kRegNoMoreItems after the last.
    virtual uint32_t enumKey(RegHandle key, uint32_t index, std::string& name) = 0;
    virtual uint32_t enumValue(RegHandle key, uint32_t index, std::string& name) = 0;

    // deleteKey removes a key without subkeys (as RegDeleteKeyA does on
    // Windows NT); deleteTree removes a key with everything below it.
    virtual uint32_t deleteKey(RegHandle parent, std::string_view subKey) = 0;
    virtual uint32_t deleteValue(RegHandle key, std::string_view name) = 0;
    uint32_t deleteTree(RegHandle parent, std::string_view subKey);

    // Environment references ("%VAR%") of a REG_EXPAND_SZ text expanded;
    // false when the expansion fails (`out` is then unspecified).
    virtual bool expandEnvironment(std::string_view text, std::string& out) = 0;
};

// An open key that closes itself.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() { close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;

    // Both close any key held before; true when the key is now open.
    bool open(Registry& registry, RegHandle parent, std::string_view subKey, RegAccess access);
    bool create(Registry& registry, RegHandle parent, std::string_view subKey, RegAccess access);
    // Open for reading or, failing that, create with full access; the way
    // settings are loaded.
    bool openOrCreate(Registry& registry, RegHandle parent, std::string_view subKey, RegAccess access);
    // Open with full access or, failing that, create; the way every store
    // writes its values.
    bool openForWriting(Registry& registry, RegHandle parent, std::string_view subKey);
    void close();

    bool isOpen() const { return key_ != 0; }
    RegHandle handle() const { return key_; }
    Registry* registry() const { return registry_; }

    // Raw access; kRegInvalidHandle when no key is open.
    uint32_t query(std::string_view name, uint32_t& type, std::string& data) const;
    uint32_t set(std::string_view name, uint32_t type, std::string_view data) const;
    uint32_t deleteValue(std::string_view name) const;

    // A number: a REG_DWORD or REG_BINARY value of at most 4 bytes, read
    // little-endian. Anything else, a longer value or a missing one: false,
    // and `value` is left alone.
    bool readNumber(std::string_view name, uint32_t& value) const;
    // An on/off value read by `rule`; true when the value decided `flag`
    // (under OneIsTrue a missing value decides it too, as false).
    bool readFlag(std::string_view name, bool& flag, FlagRule rule) const;
    // A text: REG_SZ as stored, REG_EXPAND_SZ with its environment references
    // expanded (kept as stored when expansion fails); the text ends at its
    // first zero. REG_MULTI_SZ and other types: false.
    bool readString(std::string_view name, std::string& value) const;
    // Binary data of at most `size` bytes into `buffer`, the rest zeroed; a
    // longer value or a failure zeroes all `size` bytes and gives false.
    bool readBinary(std::string_view name, void* buffer, size_t size) const;

    // Writes; false when they fail (callers of the registry stay silent).
    bool writeNumber(std::string_view name, uint32_t value) const;  // REG_DWORD
    bool writeString(std::string_view name, std::string_view value) const;  // REG_SZ with its zero
    bool writeBinary(std::string_view name, const void* data, size_t size) const;

private:
    Registry* registry_ = nullptr;
    RegHandle key_ = 0;
};

#ifdef _WIN32
// The system registry (WinRegistry.cpp).
Registry& systemRegistry();
#endif
