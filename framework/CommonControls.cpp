#include "framework/CommonControls.h"

#include "framework/DialogTemplate.h"

namespace {

InitCommonControlsFunction g_initCommonControls = &::InitCommonControlsEx;

struct ClassRegistration {
  const char* className;
  DWORD classes;
};

constexpr ClassRegistration kRegistrations[] = {
    {DATETIMEPICK_CLASSA, ICC_DATE_CLASSES},      {MONTHCAL_CLASSA, ICC_DATE_CLASSES},
    {TRACKBAR_CLASSA, ICC_BAR_CLASSES},           {STATUSCLASSNAMEA, ICC_BAR_CLASSES},
    {TOOLBARCLASSNAMEA, ICC_BAR_CLASSES},         {TOOLTIPS_CLASSA, ICC_BAR_CLASSES},
    {UPDOWN_CLASSA, ICC_UPDOWN_CLASS},            {PROGRESS_CLASSA, ICC_PROGRESS_CLASS},
    {HOTKEY_CLASSA, ICC_HOTKEY_CLASS},            {WC_LISTVIEWA, ICC_LISTVIEW_CLASSES},
    {WC_HEADERA, ICC_LISTVIEW_CLASSES},           {WC_TREEVIEWA, ICC_TREEVIEW_CLASSES},
    {WC_TABCONTROLA, ICC_TAB_CLASSES},            {ANIMATE_CLASSA, ICC_ANIMATE_CLASS},
    {WC_COMBOBOXEXA, ICC_USEREX_CLASSES},         {WC_IPADDRESSA, ICC_INTERNET_CLASSES},
    {WC_PAGESCROLLERA, ICC_PAGESCROLLER_CLASS},   {REBARCLASSNAMEA, ICC_COOL_CLASSES},
    {WC_NATIVEFONTCTLA, ICC_NATIVEFNTCTL_CLASS},  {"SysLink", ICC_LINK_CLASS},
};

}  // namespace

DWORD CommonControlClassesFor(const std::vector<std::string>& classNames) {
  DWORD classes = 0;
  for (const std::string& name : classNames) {
    for (const ClassRegistration& known : kRegistrations) {
      if (lstrcmpiA(name.c_str(), known.className) == 0) classes |= known.classes;
    }
  }
  return classes;
}

void AfxRegisterDialogControlClasses(HINSTANCE instance, UINT templateId) {
  HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(templateId), RT_DIALOG);
  HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr) return;
  const DWORD classes = CommonControlClassesFor(DialogControlClassNames(bytes, ::SizeofResource(instance, found)));
  if (classes == 0) return;
  const INITCOMMONCONTROLSEX request{sizeof(INITCOMMONCONTROLSEX), classes};
  g_initCommonControls(&request);
}

InitCommonControlsFunction AfxSetInitCommonControls(InitCommonControlsFunction function) {
  const InitCommonControlsFunction previous = g_initCommonControls;
  g_initCommonControls = function;
  return previous;
}
