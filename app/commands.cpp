// The menu commands: both conversions with the choice of their files, play
// and replay, the sample-rate dialog, About and Exit.
#include <windows.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/app.h"
#include "convert/convert.h"
#include "report/report.h"
#include "resources/resource.h"
#include "settings/settings.h"

// The file dialog record in its original form, without the fields later
// systems added (76 bytes on the 32-bit desktop), which every version of the
// dialogs accepts.
#define OFN_RECORD_SIZE (offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR))
#ifndef _WIN64
static_assert(OFN_RECORD_SIZE == 76, "OPENFILENAMEA of the 32-bit desktop");
#endif

#define OPEN_FLAGS (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY)
#define SAVE_FLAGS (OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT)
static_assert(OPEN_FLAGS == 0x1804 && SAVE_FLAGS == 0x806, "file dialog flags");

// Play in the background and give up at once when the sound device is busy:
// the user keeps working while a voice plays.
#define PLAY_FLAGS (SND_FILENAME | SND_NOWAIT | SND_ASYNC)
static_assert(PLAY_FLAGS == 0x22001, "PlaySoundA flags");

// The name exchanged with the file dialogs.
static char filename[NAME_SIZE];

static const char wav_filter[] = "Sound files\0*.WAV*\0All files (*.*)\0*.*\0";
static const char bin_filter[] = "EPROM files\0*.BIN*\0All files (*.*)\0*.*\0";

enum { OPEN_DIALOG, SAVE_DIALOG };

static void StartFileDialogs(OPENFILENAMEA* ofn) {
  memset(ofn, 0, sizeof *ofn);
  ofn->lStructSize = OFN_RECORD_SIZE;
  ofn->hwndOwner = MyWindow;
}

// Shows one file dialog over `filename`; nonzero when a name was chosen.
// A cancel and a failure look the same, except that a name too long for
// our buffers is explained to the user rather than silently dropped.
static int AskFileName(OPENFILENAMEA* ofn, int kind, const char* filter, const char* title) {
  ofn->lpstrFilter = filter;
  ofn->nFilterIndex = 1;
  ofn->lpstrFile = filename;
  ofn->nMaxFile = NAME_SIZE - 1;
  ofn->lpstrTitle = title;
  ofn->Flags = kind == SAVE_DIALOG ? SAVE_FLAGS : OPEN_FLAGS;
  BOOL chosen = kind == SAVE_DIALOG ? GetSaveFileNameA(ofn) : GetOpenFileNameA(ofn);
  if (!chosen) {
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
      MessageBoxA(MyWindow, chosen_name_too_long_text, szAppName, MB_OK);
    return 0;
  }
  return 1;
}

// Both conversions: input name, proposed output name, the extension rule,
// then a fresh report for the conversion itself.
static void ConvertCommand(const char* open_title, const char* open_filter,
                           const char* save_title, const char* save_filter,
                           const char* ext3, uint32_t (*convert)(void)) {
  OPENFILENAMEA ofn;
  char ext[5] = ".";
  strcat(ext, ext3);
  StartFileDialogs(&ofn);
  filename[0] = 0;
  if (AskFileName(&ofn, OPEN_DIALOG, open_filter, open_title)) {
    strcpy(dmxfilename, filename);
    ProposeOutputName(filename, ext);
    if (AskFileName(&ofn, SAVE_DIALOG, save_filter, save_title)) {
      if (AppendExtension(filename, ext3)) {
        strcpy(output_filename, filename);
        EraseTextBuffer();
        convert();
      } else {
        char text[NAME_SIZE + 160];
        FormatNoRoomText(text, sizeof text, filename, ext3);
        MessageBoxA(MyWindow, text, szAppName, MB_OK);
      }
    }
  }
  InvalidateRect(MyWindow, NULL, TRUE);
}

static void PlayCommand(void) {
  OPENFILENAMEA ofn;
  StartFileDialogs(&ofn);
  filename[0] = 0;
  if (!AskFileName(&ofn, OPEN_DIALOG, wav_filter, "Play WAV sound file")) return;
  PlaySoundA(filename, NULL, PLAY_FLAGS);
  strcpy(last_played_file, filename);
  ReportPrintf("Playing file: %s", last_played_file);
  config_edit = 1;
}

static void ReplayCommand(void) {
  if (!last_played_file[0]) {
    PlayCommand();
    return;
  }
  PlaySoundA(last_played_file, NULL, PLAY_FLAGS);
  ReportPrintf("Playing file: %s", last_played_file);
}

static void AboutCommand(void) {
  enum { ABOUT_SIZE = 8000 };
  char* text = (char*)malloc(ABOUT_SIZE);
  if (!text) {
    MessageBoxA(MyWindow, szAppCaption, szAppName, MB_OK);
    return;
  }
  FormatAboutText(text, ABOUT_SIZE, configfile);
  MessageBoxA(MyWindow, text, szAppName, MB_OK);
  free(text);
}

void MenuCommand(unsigned id) {
  switch (id) {
    case IDM_EXIT:
      ShutDown();
      break;
    case IDM_DMX_TO_WAV:
      ConvertCommand("Select DMX EPROM image", bin_filter, "Select name for WAV output file",
                     wav_filter, "wav", ConvertDMXtoWAV);
      break;
    case IDM_ABOUT:
      AboutCommand();
      break;
    case IDM_WAV_TO_DMX:
      ConvertCommand("Select WAV file", wav_filter, "Select name for DMX output file", bin_filter,
                     "bin", ConvertWAVToDMX);
      break;
    case IDM_PLAY:
      PlayCommand();
      break;
    case IDM_REPLAY:
      ReplayCommand();
      break;
    case IDM_OPTIONS:
      DialogBoxParamA(MyInstance, MAKEINTRESOURCEA(IDD_DMX_TO_WAV_OPTIONS), MyWindow,
                      OptionsDialog3, 0);
      break;
    default:
      MessageBoxA(MyWindow, "Undefined Menu Command!", "Alert!", MB_OK);
      break;
  }
}
