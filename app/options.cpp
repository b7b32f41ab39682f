// The sample-rate dialog: the rate at which EPROM images become WAV files.
#include <windows.h>

#include "app/app.h"
#include "convert/wav.h"
#include "report/report.h"
#include "resources/resource.h"
#include "settings/settings.h"

INT_PTR CALLBACK OptionsDialog3(HWND dWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG:
      FormatRateText(editstr, sizeof editstr, sample_rate);
      SetDlgItemTextA(dWnd, IDC_RATE, editstr);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          GetDlgItemTextA(dWnd, IDC_RATE, editstr, sizeof editstr);
          double rate;
          // A rate the WAV header cannot hold is refused here, with the
          // dialog left open, rather than at the next conversion.
          if (!ReadRateText(editstr, &rate)) {
            MessageBoxA(dWnd, rate_out_of_range_text, szAppName, MB_OK);
            return TRUE;
          }
          sample_rate = rate;
          EndDialog(dWnd, 1);
          InvalidateRect(MyWindow, NULL, TRUE);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dWnd, 0);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}
