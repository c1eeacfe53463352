#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace plug::graphics
{

/**
 * A titled list of items, each optionally opening a submenu, and the index of the item the
 * user chose. The editor builds one, the context shows it (CreatePopupMenu) and the answer
 * comes back to the control that asked. Main thread only.
 */
class IPopupMenu
{
public:
  class Item
  {
  public:
    enum Flags : int
    {
      kNoFlags = 0,
      kDisabled = 1,
      kTitle = 2, // shown indented
      kChecked = 4,
      kSeparator = 8 // the text is ignored
    };

    explicit Item(const char* text, int flags = kNoFlags, int tag = -1);
    /** Takes ownership of `submenu` (may be null). */
    Item(const char* text, IPopupMenu* submenu);

    const std::string& GetText() const { return mText; }
    void SetText(const char* text) { mText = text ? text : ""; }
    int GetFlags() const { return mFlags; }
    int GetTag() const { return mTag; }
    void SetTag(int tag) { mTag = tag; }
    bool GetEnabled() const { return (mFlags & kDisabled) == 0; }
    bool GetChecked() const { return (mFlags & kChecked) != 0; }
    bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
    bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
    void SetEnabled(bool on) { SetFlag(kDisabled, !on); }
    void SetChecked(bool on) { SetFlag(kChecked, on); }
    void SetTitle(bool on) { SetFlag(kTitle, on); }
    IPopupMenu* GetSubmenu() const { return mSubmenu.get(); }
    void SetSubmenu(IPopupMenu* submenu) { mSubmenu.reset(submenu); }

  private:
    void SetFlag(int flag, bool on) { mFlags = on ? (mFlags | flag) : (mFlags & ~flag); }

    std::string mText;
    int mFlags = kNoFlags;
    int mTag = -1;
    std::unique_ptr<IPopupMenu> mSubmenu;
  };

  /** Insert positions for AddItem besides plain indices. */
  static constexpr int kAppend = -1;
  static constexpr int kAlphabetical = -2;

  explicit IPopupMenu(const char* rootTitle = "", int prefix = 0, bool multipleCheck = false,
                      std::initializer_list<const char*> items = {});
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  /**
   * Inserts `item` (taking ownership) and returns it. index -1 appends; -2 inserts in
   * case-insensitive alphabetical order among the present texts; any other negative index
   * inserts at the front; 0 or more inserts there, or at the end past the count.
   */
  Item* AddItem(Item* item, int index = kAppend);
  Item* AddItem(const char* text, int index = kAppend, int flags = Item::kNoFlags);
  Item* AddItem(const char* text, IPopupMenu* submenu, int index = kAppend);
  Item* AddSeparator(int index = kAppend);
  void RemoveItem(int index);
  void RemoveEmptySubmenus();
  void Clear(bool resetEverything = true);

  int NItems() const { return static_cast<int>(mItems.size()); }
  /** Null when out of range. */
  Item* GetItem(int index);
  const Item* GetItem(int index) const;
  /** Index of the first item with this exact text, or -1. */
  int GetIndexOfItem(const char* text) const;
  const char* GetItemText(int index) const;

  /** The text an item is shown with: the numbering prefix (when set) and the item's text. */
  std::string GetDisplayText(int index) const;

  int GetPrefix() const { return mPrefix; }
  /** 0 none; 1 "%1d: "; 2 "%02d: "; 3 "%03d: ", numbered from 1. Out-of-range values mean 0. */
  void SetPrefix(int prefix) { mPrefix = (prefix >= 0 && prefix <= 3) ? prefix : 0; }
  bool GetMultiCheck() const { return mCanMultiCheck; }
  void SetMultiCheck(bool multi) { mCanMultiCheck = multi; }

  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int index) { mChosenItemIdx = index; }
  Item* GetChosenItem() { return GetItem(mChosenItemIdx); }

  /** Checks item `index` and, unless multiple checks are allowed, unchecks all others. */
  void CheckItem(int index, bool state = true);
  void CheckItemAlone(int index);
  bool IsItemChecked(int index) const;

  const char* GetRootTitle() const { return mRootTitle.c_str(); }
  void SetRootTitle(const char* title) { mRootTitle = title ? title : ""; }

  using CompletionFunc = std::function<void(IPopupMenu*)>;
  void SetFunction(CompletionFunc func) { mCompletionFunc = std::move(func); }
  /** Calls the completion function, when set, with this menu. */
  void ExecFunction();
  bool HasFunction() const { return static_cast<bool>(mCompletionFunc); }

private:
  int mPrefix = 0;
  int mChosenItemIdx = -1;
  bool mCanMultiCheck = false;
  std::vector<std::unique_ptr<Item>> mItems;
  CompletionFunc mCompletionFunc;
  std::string mRootTitle;
};

} // namespace plug::graphics
