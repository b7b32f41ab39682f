// Loaded into QUORIX.exe by a window hook of the end-to-end driver, as only
// code inside the program can read the menu bar its window really has. Asked,
// it writes one line per item, "Popup/Item=id", marked unless a plain command
// that can be chosen, into the file named by QUORIX_E2E_MENU.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK MenuProbe(int code, WPARAM wp, LPARAM lp) {
  const CWPSTRUCT* msg = (const CWPSTRUCT*)lp;
  if (code == HC_ACTION && msg->message == RegisterWindowMessageA("QuorixMenuProbe")) {
    const char* to = getenv("QUORIX_E2E_MENU");
    FILE* f = to ? fopen(to, "wb") : NULL;
    HMENU bar = GetMenu(msg->hwnd);
    for (int i = 0; f && i < GetMenuItemCount(bar); i++) {
      char popup[128] = "";
      GetMenuStringA(bar, i, popup, sizeof popup, MF_BYPOSITION);
      HMENU sub = GetSubMenu(bar, i);
      for (int j = 0; j < GetMenuItemCount(sub); j++) {
        char item[128] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        GetMenuStringA(sub, j, item, sizeof item, MF_BYPOSITION);
        GetMenuItemInfoA(sub, j, TRUE, &info);
        bool plain = info.fType == MFT_STRING && info.fState == MFS_ENABLED && !info.hSubMenu;
        fprintf(f, "%s/%s%s=%u\n", popup, item, plain ? "" : " [not plain]", info.wID);
      }
    }
    if (f) fclose(f);
  }
  return CallNextHookEx(NULL, code, wp, lp);
}
