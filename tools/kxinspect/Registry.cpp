// The registry of the prefix (or machine) the tool runs in, for tests that
// check what a program wrote or prepare what it will read.
#include <windows.h>

#include <cstdio>

#include "Command.h"

namespace {

class Key {
public:
    ~Key() { if (key_) RegCloseKey(key_); }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

struct Root {
    const wchar_t* name;
    HKEY key;
};

const Root kRoots[] = {
    {L"HKCU", HKEY_CURRENT_USER}, {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKCR", HKEY_CLASSES_ROOT}, {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKU", HKEY_USERS}, {L"HKEY_USERS", HKEY_USERS},
};

struct TypeName {
    const wchar_t* name;
    DWORD type;
};

const TypeName kTypes[] = {
    {L"REG_SZ", REG_SZ}, {L"REG_EXPAND_SZ", REG_EXPAND_SZ}, {L"REG_MULTI_SZ", REG_MULTI_SZ},
    {L"REG_DWORD", REG_DWORD}, {L"REG_QWORD", REG_QWORD}, {L"REG_BINARY", REG_BINARY}, {L"REG_NONE", REG_NONE},
};

// Word 0 as a root key and the path below it.
bool keyPath(const Args& args, HKEY& root, std::wstring& subkey, Reply& reply)
{
    if (args.words.empty()) return reply.fail("expected a key");
    const std::wstring& path = args.words[0];
    size_t slash = path.find(L'\\');
    std::wstring head = path.substr(0, slash);
    subkey = slash == std::wstring::npos ? L"" : path.substr(slash + 1);
    for (const Root& r : kRoots)
        if (lstrcmpiW(head.c_str(), r.name) == 0) return root = r.key, true;
    return reply.fail("a key starts with HKCU, HKLM, HKCR or HKU");
}

const wchar_t* typeName(DWORD type)
{
    for (const TypeName& t : kTypes)
        if (t.type == type) return t.name;
    return L"REG_NONE";
}

// A value as JSON: strings as text (without their terminating zero; "bytes"
// tells whether it was there), numbers as numbers, the rest as hex.
void writeValue(Json& out, DWORD type, const std::vector<BYTE>& data)
{
    out.beginObject();
    out.key("type").str(std::wstring_view(typeName(type)));
    out.key("bytes").num(int64_t(data.size()));
    out.key("data");
    const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
    size_t count = data.size() / sizeof(wchar_t);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        if (count && chars[count - 1] == L'\0') --count;
        out.str(std::wstring_view(chars, count));
    } else if (type == REG_MULTI_SZ) {
        out.beginArray();
        for (size_t i = 0; i < count && chars[i];) {
            size_t end = i;
            while (end < count && chars[end]) ++end;
            out.str(std::wstring_view(chars + i, end - i));
            i = end + 1;
        }
        out.endArray();
    } else if (type == REG_DWORD && data.size() == 4) {
        out.unum(*reinterpret_cast<const DWORD*>(data.data()));
    } else if (type == REG_QWORD && data.size() == 8) {
        out.unum(*reinterpret_cast<const ULONGLONG*>(data.data()));
    } else {
        std::string hex;
        char byte[3];
        for (BYTE b : data) snprintf(byte, sizeof byte, "%02x", b), hex += byte;
        out.str(std::string_view(hex));
    }
    out.endObject();
}

bool readValue(HKEY key, const wchar_t* name, DWORD& type, std::vector<BYTE>& data)
{
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    data.resize(size);
    return RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS &&
           (data.resize(size), true);
}

// reg-get KEY [VALUE]: one value, or the key's values and subkeys;
// "exists" is false when the key or value is not there.
bool getCommand(const Args& args, Reply& reply)
{
    HKEY root;
    std::wstring subkey;
    if (!keyPath(args, root, subkey, reply)) return false;
    Key key;
    bool exists = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS;
    DWORD type = 0;
    std::vector<BYTE> data;
    if (args.words.size() > 1) {
        exists = exists && readValue(key.get(), args.words[1].c_str(), type, data);
        reply.json.key("exists").boolean(exists);
        if (exists) {
            reply.json.key("value");
            writeValue(reply.json, type, data);
        }
        return true;
    }
    reply.json.key("exists").boolean(exists);
    if (!exists) return true;
    reply.json.key("keys").beginArray();
    wchar_t name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD length = 16384;
        if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        reply.json.str(std::wstring_view(name, length));
    }
    reply.json.endArray();
    reply.json.key("values").beginObject();
    for (DWORD i = 0;; ++i) {
        DWORD length = 16384;
        if (RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (!readValue(key.get(), name, type, data)) continue;
        reply.json.key(toUtf8(std::wstring_view(name, length)).c_str());
        writeValue(reply.json, type, data);
    }
    reply.json.endObject();
    return true;
}

bool hexBytes(const std::wstring& text, std::vector<BYTE>& out)
{
    if (text.size() % 2) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        wchar_t pair[3] = {text[i], text[i + 1], 0}, *end;
        out.push_back(BYTE(wcstoul(pair, &end, 16)));
        if (*end) return false;
    }
    return true;
}

// reg-set KEY VALUE TYPE DATA...: REG_MULTI_SZ takes one word per string,
// REG_BINARY hex digits; the key is created when missing.
bool setCommand(const Args& args, Reply& reply)
{
    HKEY root;
    std::wstring subkey;
    if (!keyPath(args, root, subkey, reply)) return false;
    if (args.words.size() < 3) return reply.fail("expected KEY VALUE TYPE DATA");
    const TypeName* type = nullptr;
    for (const TypeName& t : kTypes)
        if (args.words[2] == t.name) type = &t;
    if (!type) return reply.fail("unknown value type");
    std::vector<BYTE> data;
    auto append = [&](const std::wstring& text) {
        const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
        data.insert(data.end(), bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    };
    std::wstring first = args.words.size() > 3 ? args.words[3] : L"";
    long long number = 0;
    switch (type->type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        append(first);
        break;
    case REG_MULTI_SZ:
        for (size_t i = 3; i < args.words.size(); ++i) append(args.words[i]);
        append(L"");
        break;
    case REG_DWORD:
    case REG_QWORD:
        if (!parseNumber(first, number)) return reply.fail("expected a number");
        data.resize(type->type == REG_DWORD ? 4 : 8);
        memcpy(data.data(), &number, data.size());
        break;
    default:
        if (!hexBytes(first, data)) return reply.fail("expected hex digits");
    }
    Key key;
    LONG status = RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.out(), nullptr);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key.get(), args.words[1].c_str(), 0, type->type, data.data(), DWORD(data.size()));
    if (status != ERROR_SUCCESS) return reply.fail("the value could not be written (error %ld)", status);
    return true;
}

// reg-delete KEY [VALUE]: the value, or the key with everything below it.
bool deleteCommand(const Args& args, Reply& reply)
{
    HKEY root;
    std::wstring subkey;
    if (!keyPath(args, root, subkey, reply)) return false;
    LONG status;
    if (args.words.size() > 1) {
        Key key;
        status = RegOpenKeyExW(root, subkey.c_str(), 0, KEY_SET_VALUE, key.out());
        if (status == ERROR_SUCCESS) status = RegDeleteValueW(key.get(), args.words[1].c_str());
    } else {
        if (subkey.empty()) return reply.fail("refusing to delete a whole root key");
        status = RegDeleteTreeW(root, subkey.c_str());
    }
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return reply.fail("could not delete (error %ld)", status);
    reply.json.key("deleted").boolean(status == ERROR_SUCCESS);
    return true;
}

}  // namespace

const Command kRegistryCommands[] = {
    {"reg-get", getCommand, "", "reg-get KEY [VALUE]   e.g. reg-get \"HKCU\\Software\\X\" Name"},
    {"reg-set", setCommand, "", "reg-set KEY VALUE TYPE DATA...   TYPE: REG_SZ, REG_DWORD, REG_BINARY (hex)..."},
    {"reg-delete", deleteCommand, "", "reg-delete KEY [VALUE]   a value, or the key and all below it"},
    {},
};
