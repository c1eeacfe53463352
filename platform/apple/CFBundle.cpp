// File URLs and bundle lookup for the Core Foundation stand-in. Bundles live as long as the
// process, as loaded bundles do on macOS, so the "Get" functions hand out stable pointers.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/apple/CFRuntime.h"
#include "platform/apple/StandInEnvironment.h"

using namespace ostra::apple;

namespace
{

struct Registry
{
  std::mutex mutex;
  std::map<std::string, std::unique_ptr<__CFBundle>> bundles;
  __CFBundle* main = nullptr;
};

Registry& registry()
{
  static Registry r;
  return r;
}

std::string utf8(CFStringRef s)
{
  const auto* str = as<const __CFString>(s, kStringTypeID);
  return str ? str->utf8 : std::string();
}

__CFBundle* bundleFor(Registry& r, const char* identifier, const char* path, const char* version)
{
  auto& slot = r.bundles[identifier ? identifier : ""];
  if (!slot)
  {
    slot = std::make_unique<__CFBundle>();
    slot->identifier = __CFStringMakeConstantString(identifier);
  }
  // Interned strings are immortal: pointers handed out earlier stay valid after a change.
  if (version || !slot->version)
    slot->version = __CFStringMakeConstantString(version);
  if (path || !slot->path)
    slot->path = __CFStringMakeConstantString(path);
  return slot.get();
}

} // namespace

namespace ostra::apple
{

void setMainBundle(const char* identifier, const char* version)
{
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.main = bundleFor(r, identifier, nullptr, version);
}

void registerBundle(const char* identifier, const char* path, const char* version)
{
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  bundleFor(r, identifier, path, version);
}

} // namespace ostra::apple

__CFURL::~__CFURL()
{
  CFRelease(path);
  CFRelease(string);
}

extern "C"
{

  const CFStringRef kCFBundleIdentifierKey = CFSTR("CFBundleIdentifier");
  const CFStringRef kCFBundleVersionKey = CFSTR("CFBundleVersion");
  const CFStringRef kCFBundleNameKey = CFSTR("CFBundleName");

  CFTypeID CFURLGetTypeID(void)
  {
    return kURLTypeID;
  }

  CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath,
                                         CFURLPathStyle pathStyle, Boolean isDirectory)
  {
    if (!as<const __CFString>(filePath, kStringTypeID) || pathStyle != kCFURLPOSIXPathStyle)
      return nullptr;
    std::string path = utf8(filePath);
    if (isDirectory && (path.empty() || path.back() != '/'))
      path += '/';
    auto* url = new __CFURL;
    url->path = CFStringCreateWithCString(kCFAllocatorDefault, path.c_str(), kCFStringEncodingUTF8);
    url->string = CFStringCreateWithCString(kCFAllocatorDefault, ("file://" + path).c_str(),
                                            kCFStringEncodingUTF8);
    return url;
  }

  CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle pathStyle)
  {
    const auto* u = as<const __CFURL>(url, kURLTypeID);
    if (!u || pathStyle != kCFURLPOSIXPathStyle)
      return nullptr;
    // Apple drops the trailing slash of a directory here.
    std::string path = utf8(u->path);
    if (path.size() > 1 && path.back() == '/')
      path.pop_back();
    return CFStringCreateWithCString(kCFAllocatorDefault, path.c_str(), kCFStringEncodingUTF8);
  }

  CFStringRef CFURLGetString(CFURLRef url)
  {
    const auto* u = as<const __CFURL>(url, kURLTypeID);
    return u ? u->string : nullptr;
  }

  CFTypeID CFBundleGetTypeID(void)
  {
    return kBundleTypeID;
  }

  CFBundleRef CFBundleGetMainBundle(void)
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.main;
  }

  CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID)
  {
    if (!as<const __CFString>(bundleID, kStringTypeID))
      return nullptr;
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.bundles.find(utf8(bundleID));
    return it == r.bundles.end() ? nullptr : it->second.get();
  }

  CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
  {
    const auto* b = as<const __CFBundle>(bundle, kBundleTypeID);
    return b ? b->identifier : nullptr;
  }

  CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key)
  {
    const auto* b = as<const __CFBundle>(bundle, kBundleTypeID);
    if (!b || !key)
      return nullptr;
    if (CFEqual(key, kCFBundleIdentifierKey))
      return b->identifier;
    if (CFEqual(key, kCFBundleVersionKey))
      return b->version;
    return nullptr;
  }

  CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleURL)
  {
    const auto* u = as<const __CFURL>(bundleURL, kURLTypeID);
    if (!u)
      return nullptr;
    // Directory URLs end in a slash; registered paths may not.
    auto trimmed = [](std::string path)
    {
      while (path.size() > 1 && path.back() == '/')
        path.pop_back();
      return path;
    };
    const std::string wanted = trimmed(utf8(u->path));
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto& [identifier, bundle] : r.bundles)
      if (bundle->path && trimmed(utf8(bundle->path)) == wanted)
        return bundle.get();
    return nullptr;
  }

  CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle)
  {
    const auto* b = as<const __CFBundle>(bundle, kBundleTypeID);
    if (!b)
      return nullptr;
    return CFURLCreateWithFileSystemPath(kCFAllocatorDefault, b->path, kCFURLPOSIXPathStyle, true);
  }

} // extern "C"
