// Further themed items: a drop-down edit whose button opens its sub-items,
// a combo box dropping a string list with completion, a label, a colour
// item with a swatch, and the themed most-recently-used list.
#pragma once

#include "toolbars/BarMRU.h"
#include "toolbars/skin/SkinEditItems.h"
#include "toolbars/skin/SkinLists.h"

class TSkinCustomDropDownItem : public TSkinEditItem {
 public:
  explicit TSkinCustomDropDownItem(TComponent* AOwner);
  const char* ClassName() const override { return "TSkinCustomDropDownItem"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  TBarPopupWindow* CreatePopup(TBarView* ParentView, TBarItemViewer* ParentViewer, bool PositionAsSubmenu,
                               bool SelectFirstItem, bool Customizing, POINT APopupPoint,
                               TBarPopupAlignment Alignment) override;
  void DefineProperties(TFiler* Filer) override;
  bool AlwaysSelectFirst = true;
  bool DropDownList = false;
};

class TSkinDropDownItem : public TSkinCustomDropDownItem {
 public:
  using TSkinCustomDropDownItem::TSkinCustomDropDownItem;
  const char* ClassName() const override { return "TSkinDropDownItem"; }
};

class TSkinDropDownItemViewer : public TSkinEditItemViewer {
 public:
  using TSkinEditItemViewer::TSkinEditItemViewer;
  const char* ClassName() const override { return "TSkinDropDownItemViewer"; }
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }
  void GetEditInfo(TSkinEditInfo& Info, const TSkinItemInfo& ItemInfo) override;
  int GetIndentAfter() override;
  bool HandleEditMessage(TMessage& Message) override;
  bool IsPtInButtonPart(int X, int Y) override;
  void GetCursor(POINT Pt, HCURSOR& ACursor) override;
  void KeyDown(WORD& Key, TBarShift Shift) override;
  bool DoExecute() override;
  int GetAccRole() override { return 46; }

 protected:
  TSkinCustomDropDownItem* DropDownItem() const { return static_cast<TSkinCustomDropDownItem*>(Item); }
};

using TSkinCAdjustImageIndex =
    TEvent<void(class TSkinComboBoxItem* Sender, const String& AText, int AIndex, int& ImageIndex)>;

class TSkinComboBoxItem : public TSkinCustomDropDownItem {
 public:
  explicit TSkinComboBoxItem(TComponent* AOwner);
  const char* ClassName() const override { return "TSkinComboBoxItem"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  void Loaded() override;
  // Designed, the list is no sub-item of the combo box; at run time it is.
  void SetDesigning(bool Value, bool SetChildren = true) override;
  void DefineProperties(TFiler* Filer) override;
  // The item's own list is made with it, never read from a stream.
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
  void DoPopup(TBarCustomItem* Sender, bool FromLink) override;
  void DoBeginEdit(TBarEditItemViewer* Viewer) override;
  void DoChange(TObject* EditControl, const String& AText) override;
  TImageIndex GetImageIndexOf() override;

  virtual void AdjustImageIndex(const String& AText, int AIndex, int& ImageIndex);
  virtual void DoListChange();
  virtual void DoListClick();
  virtual TSkinStringList* GetStringListClass(TComponent* AOwner) { return new TSkinStringList(AOwner); }

  bool AutoComplete = true;
  TSkinStringList* List() const { return list_; }
  TStrings* Strings() const { return list_->Strings(); }
  int GetItemIndex() const { return list_->GetItemIndex(); }
  void SetItemIndex(int Value) { list_->SetItemIndex(Value); }
  int GetMaxVisibleItems() const { return list_->MaxVisibleItems; }
  void SetMaxVisibleItems(int Value) { list_->MaxVisibleItems = Value; }
  int GetMinListWidth() const { return list_->GetMinWidth(); }
  void SetMinListWidth(int Value) { list_->SetMinWidth(Value); }
  int GetMaxListWidth() const { return list_->MaxWidth; }
  void SetMaxListWidth(int Value) { list_->MaxWidth = Value; }
  bool GetShowListImages() const { return list_->ShowImages; }
  void SetShowListImages(bool Value) { list_->ShowImages = Value; }

  TNotifyEvent OnItemClick;
  TSkinCAdjustImageIndex OnAdjustImageIndex;

 private:
  void ListChangeHandler(TObject*);
  void ListClickHandler(TObject*);
  void ListImageIndexHandler(TObject* Sender, int AIndex, int& ImageIndex);
  TSkinStringList* list_;
  String lastText_;
  int cachedImageIndex_ = -1;
  bool cacheValid_ = false;
  bool updating_ = false;
};

class TSkinComboBoxItemViewer : public TSkinDropDownItemViewer {
 public:
  using TSkinDropDownItemViewer::TSkinDropDownItemViewer;
  const char* ClassName() const override { return "TSkinComboBoxItemViewer"; }
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }
  bool HandleEditMessage(TMessage& Message) override;
};

enum TSkinLabelOrientation { skinoAuto, skinoHorizontal, skinoVertical };

class TSkinLabelItem : public TBarCustomItem {
 public:
  explicit TSkinLabelItem(TComponent* AOwner);
  ~TSkinLabelItem() override;
  const char* ClassName() const override { return "TSkinLabelItem"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  void DefineProperties(TFiler* Filer) override;

  const TCaption& GetLabelCaption() const { return caption_; }
  void SetLabelCaption(const TCaption& Value);
  // Stores the caption and repaints without a new layout.
  void UpdateCaption(const TCaption& Value);
  TFontSettings* FontSettings() const { return fontSettings_; }
  void SetFontSettings(TFontSettings* Value) { fontSettings_->Assign(Value); }
  int GetMargin() const { return margin_; }
  void SetMargin(int Value);
  TSkinLabelOrientation GetOrientation() const { return orientation_; }
  void SetOrientation(TSkinLabelOrientation Value);
  TAdjustFontEvent OnAdjustFont;

 private:
  void FontSettingsChanged(TObject*) { Change(true); }
  TCaption caption_;
  TFontSettings* fontSettings_;
  int margin_ = 0;
  TSkinLabelOrientation orientation_ = skinoAuto;
};

class TSkinLabelItemViewer : public TBarItemViewer {
 public:
  using TBarItemViewer::TBarItemViewer;
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }
  String GetCaptionText() override;
  void CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) override;
  void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed, bool UseDisabledShadow) override;
  bool IsToolbarSize() override;
  bool IsToolbarStyle() override;
  virtual bool GetIsHoriz();
  virtual void DoAdjustFont(TFont* AFont, unsigned StateFlags);
};

class TSkinColorItem : public TSkinCustomItem {
 public:
  using TSkinCustomItem::TSkinCustomItem;
  const char* ClassName() const override { return "TSkinColorItem"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  void DefineProperties(TFiler* Filer) override;
  TColor GetColor() const { return color_; }
  void SetColor(TColor Value);

 private:
  TColor color_ = 0xFFFFFF;
};

class TSkinColorItemViewer : public TSkinItemViewer {
 public:
  TSkinColorItemViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }
  void DoPaintCaption(TCanvas* Canvas, const RECT& ClientAreaRect, RECT& CaptionRect, bool IsRotated,
                      bool& PaintDefault) override;
  void DrawItemImage(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) override;
  bool GetImageShown() override;
  SIZE GetImageSize() override;
};

class TSkinMRUList : public TBarMRUList {
 public:
  using TBarMRUList::TBarMRUList;
  const char* ClassName() const override { return "TSkinMRUList"; }
  int GetFirstKey() override { return keyShift_; }
  TBarMRUItemClass GetItemClass() override;
  // The inherited captions; a themed container passes its font settings on
  // to every item of the list.
  void SetItemCaptions() override;
  void DefineProperties(TFiler* Filer) override;
  int GetKeyShift() const { return keyShift_; }
  void SetKeyShift(int Value);

 private:
  int keyShift_ = 0;
};

class TSkinMRUListItem : public TSkinCustomItem {
 public:
  explicit TSkinMRUListItem(TComponent* AOwner);
  const char* ClassName() const override { return "TSkinMRUListItem"; }
  TBarMRUList* GetMRUList() const { return mruList_; }
  void SetMRUList(TBarMRUList* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void DefineProperties(TFiler* Filer) override;
  void Loaded() override;
  // "(Skin MRU List)".
  String GetDefaultCaption() const override;

 private:
  TBarMRUList* mruList_ = nullptr;
  String pendingMRUList_;  // the list a stream names, found in Loaded
};
