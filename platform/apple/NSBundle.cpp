// The classes of loaded bundles, by bundle identifier and class name.
#include "platform/apple/AppKit.h"

#include <map>
#include <mutex>

namespace
{

struct Classes
{
  std::mutex mutex;
  // Nodes of a map stay put, so the Class pointers handed out stay valid.
  std::map<std::pair<std::string, std::string>, NSClass> byBundleAndName;
};

Classes& classes()
{
  static Classes c;
  return c;
}

std::string text(CFStringRef s)
{
  const char* p = s ? CFStringGetCStringPtr(s, kCFStringEncodingUTF8) : nullptr;
  if (p)
    return p;
  char buffer[512] = {};
  return s && CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "";
}

} // namespace

namespace ostra::apple
{

void registerClass(const char* bundleIdentifier, const char* name,
                   std::unique_ptr<NSObject> (*make)())
{
  if (!bundleIdentifier || !name || !make)
    return;
  auto& c = classes();
  std::lock_guard lock(c.mutex);
  c.byBundleAndName[{bundleIdentifier, name}] = NSClass{name, make};
}

} // namespace ostra::apple

std::optional<NSBundle> NSBundle::bundleWithURL(CFURLRef url)
{
  CFBundleRef bundle = CFBundleCreate(kCFAllocatorDefault, url);
  if (!bundle)
    return std::nullopt;
  return NSBundle(text(CFBundleGetIdentifier(bundle)));
}

Class NSBundle::classNamed(CFStringRef name) const
{
  auto& c = classes();
  std::lock_guard lock(c.mutex);
  const auto it = c.byBundleAndName.find({mIdentifier, text(name)});
  return it == c.byBundleAndName.end() ? nullptr : &it->second;
}
