// The report after a job with sources whose folder beside them could not be
// written: built by one routine run twice (measure, then fill) so that any
// number of long paths fits, and shown in one message box.
#include "report.h"

#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "../util/bounded.h"

static const char REPORT_TITLE[] = "pelnore";
static const char FALLBACK_HEADING[] =
    "次のファイルから取り出したものは、元のファイルと同じフォルダに書き込め"
    "なかったため、デスクトップのフォルダに書き出しました。\r\n";
static const char NOWHERE_HEADING[] =
    "次のファイルからは、何も書き出せませんでした。元のファイルと同じフォルダ"
    "にもデスクトップにも書き込めません。\r\n";
static const char FOLDER_ARROW[] = "  → ";
static const char MORE_FORMAT[] = "ほか %d 件\r\n";
static const char TREE_NOTHING_FORMAT[] =
    "  （このうち %u 個のファイルからは何も書き出せませんでした）\r\n";

// A message box taller than the screen would hide its OK button: the sources
// beyond this many in one list are only counted.
enum { REPORT_LISTED_SOURCES = 15 };

bool GetFallbackRoot(char* dest) {
    dest[0] = '\0';
    char desktop[MAX_PATH] = "";
    // The folder is made when the profile lacks it, as Explorer would.
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, desktop)))
        return false;
    desktop[MAX_PATH - 1] = '\0';
    CopyBounded(dest, PATH_CAPACITY, desktop);
    return dest[0] != '\0';
}

OutputPlace* CreateOutputPlaces(int fileCount, const char* root) {
    OutputPlace* places = (OutputPlace*)malloc(sizeof(OutputPlace) * (size_t)(fileCount + 1));
    if (places == nullptr) return nullptr;
    for (int i = 0; i < fileCount; i++) InitOutputPlace(&places[i], root);
    return places;
}

// Text collected by the measuring and the filling pass alike.
struct ReportText {
    char* dest;  // null while measuring
    size_t length;
};

static void AddText(ReportText* text, const char* part) {
    size_t count = strlen(part);
    if (text->dest != nullptr) memcpy(text->dest + text->length, part, count);
    text->length += count;
}

// One source in the state, under the heading when it is the list's first.
static void AddSource(ReportText* text, const ExtractionJob* job, int i, int* listed,
                      const char* heading) {
    const OutputPlace& place = job->places[i];
    if (*listed == 0) {
        if (text->length != 0) AddText(text, "\r\n");  // a blank line between lists
        AddText(text, heading);
    }
    if (++*listed > REPORT_LISTED_SOURCES) return;
    AddText(text, job->paths[i]);
    AddText(text, "\r\n");
    if (place.state == OUTPUT_FALLBACK) {
        AddText(text, FOLDER_ARROW);
        AddText(text, place.folder);
        AddText(text, "\r\n");
    }
    // A folder is named once, with how many of its files gave nothing.
    if (place.nothingWritten == 0) return;
    char count[128];
    FormatBounded(count, sizeof(count), TREE_NOTHING_FORMAT, place.nothingWritten);
    AddText(text, count);
}

// One list: a heading, then each source in the state (with its folder for a
// fall-back), the job's own and those it took, the sources beyond the first
// few only counted.
static void AddSourceList(ReportText* text, const ExtractionJob* job, OutputPlaceState state,
                          const char* heading) {
    int listed = 0;
    for (const ExtractionJob* batch = job; batch != nullptr; batch = batch->next) {
        if (batch->places == nullptr) continue;
        for (int i = 0; i < batch->fileCount; i++)
            if (batch->places[i].state == state) AddSource(text, batch, i, &listed, heading);
    }
    if (listed <= REPORT_LISTED_SOURCES) return;
    char more[64];
    FormatBounded(more, sizeof(more), MORE_FORMAT, listed - REPORT_LISTED_SOURCES);
    AddText(text, more);
}

size_t FormatFallbackReport(char* dest, const ExtractionJob* job) {
    ReportText text = {dest, 0};
    AddSourceList(&text, job, OUTPUT_FALLBACK, FALLBACK_HEADING);
    AddSourceList(&text, job, OUTPUT_NOWHERE, NOWHERE_HEADING);
    if (dest != nullptr) dest[text.length] = '\0';
    return text.length;
}

void ShowFallbackReport(const ExtractionJob* job) {
    size_t length = FormatFallbackReport(nullptr, job);
    if (length == 0) return;
    char* text = (char*)malloc(length + 1);
    if (text == nullptr) return;
    FormatFallbackReport(text, job);
    MessageBoxA(nullptr, text, REPORT_TITLE, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    free(text);
}
