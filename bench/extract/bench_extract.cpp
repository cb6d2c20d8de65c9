// Extracts every icon group, cursor group and bitmap from all DLLs of the
// system folder in one process and prints files and megabytes written per
// second, next to the time of only opening each module once and enumerating
// its three kinds of resources (the floor: the file mapped, its directory
// read, nothing assembled), to the time of the same enumeration through the
// system loader, which pelnore used until it read the directory itself, and
// to the same extraction
// with the kinds recognised by their content on (every other resource type
// read and recognised) against off. The DLLs are copied into a
// work folder first (default build\bench\extract-work) so that the output
// folders land there; further arguments are more sources copied there too. It
// then prints the largest ratio of one source's whole output (resources and
// RIFF streams, without any output budget) to its size, and how many sources
// the output budget would cut.
//   bench_extract.exe [work folder [more sources...]]
// With /folders it measures folder sources instead: the job over a copy of the
// system folder given as one folder argument against the same module files
// given by name (the best of six each, in turns of both orders), then over a tree of
// TREE_FILES (default 100000) empty .dll files in folders of 1000, with the
// peak working set after each; the peak is the process's, so a walk whose
// memory grew with the tree would raise it.
//   bench_extract.exe /folders [work folder [TREE_FILES]]
// With /starts it measures what Explorer does with a selection: the real
// pelnore.exe started once per module for 24 modules at once, against one
// start with the 24 as its arguments (the best of three each, in turns of both
// orders, into fresh output folders each time).
//   bench_extract.exe /starts [work folder]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "../../extract/assemble.h"
#include "../../extract/content.h"
#include "../../extract/extract.h"
#include "../../extract/riff.h"
#include "../../extract/walk.h"
#include "../../util/worker.h"
#include "../peakmemory.h"

static double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

static std::vector<std::string> CopySystemDlls(const std::string& work) {
    std::vector<std::string> copies;
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((std::string(system) + "\\*.dll").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return copies;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string target = work + "\\" + data.cFileName;
        if (CopyFileA((std::string(system) + "\\" + data.cFileName).c_str(), target.c_str(), FALSE))
            copies.push_back(target);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return copies;
}

static std::string FileName(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1);
}

static BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR context) {
    (*(long*)context)++;
    return TRUE;
}

static const WORD kTypes[] = {14, 12, 2};

static HMODULE LoadModuleAsDataFile(const char* path) {
    return LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_WITH_ALTERED_SEARCH_PATH);
}

static bool CountResource(void* context, LPCSTR, ResourceSpan) {
    (*(long*)context)++;
    return true;
}

// The floor: open the module once and enumerate the three types, nothing more.
static long OpenOnceAndEnumerate(const std::vector<std::string>& modules) {
    long names = 0;
    for (const std::string& path : modules) {
        ResourceSource source;
        if (!OpenResourceSource(path.c_str(), &source)) continue;
        for (WORD id : kTypes) {
            ResourceType type = IntegerResourceType(id);
            EnumSourceResources(&source, &type, CountResource, &names);
        }
        CloseResourceSource(&source);
    }
    return names;
}

// The same through the loader: load as a data file once and enumerate the
// three types.
static long LoadOnceAndEnumerate(const std::vector<std::string>& modules) {
    long names = 0;
    for (const std::string& path : modules) {
        HMODULE module = LoadModuleAsDataFile(path.c_str());
        if (module == nullptr) continue;
        for (WORD type : kTypes)
            EnumResourceNamesA(module, MAKEINTRESOURCEA(type), CountName, (LONG_PTR)&names);
        FreeLibrary(module);
    }
    return names;
}

struct AssembleOnly {
    ResourceAssembler assembler;
    const ResourceSource* source;
    long files;
};

static bool AssembleResource(void* context, LPCSTR, ResourceSpan bytes) {
    AssembleOnly* pass = (AssembleOnly*)context;
    size_t size = pass->assembler(nullptr, bytes, pass->source);
    if (size == 0) return true;
    unsigned char* block = (unsigned char*)malloc(size);
    if (block != nullptr && pass->assembler(block, bytes, pass->source) == size) pass->files++;
    free(block);
    return true;
}

// One opening, and every resource assembled into memory as the worker does, but
// nothing written: what extraction costs before its output files.
static long OpenOnceAndAssemble(const std::vector<std::string>& modules) {
    static const ResourceAssembler assemblers[] = {AssembleIconFile, AssembleCursorFile,
                                                   AssembleBitmapFile};
    AssembleOnly pass = {nullptr, nullptr, 0};
    for (const std::string& path : modules) {
        ResourceSource source;
        if (!OpenResourceSource(path.c_str(), &source)) continue;
        pass.source = &source;
        for (int i = 0; i < 3; i++) {
            pass.assembler = assemblers[i];
            ResourceType type = IntegerResourceType(kTypes[i]);
            EnumSourceResources(&source, &type, AssembleResource, &pass);
        }
        CloseResourceSource(&source);
    }
    return pass.files;
}

// The resources of every module as the worker extracts them, RIFF scan off:
// one budget and one output place per source.
static void Extract(const std::vector<std::string>& modules, KindMask kindMask) {
    for (const std::string& path : modules) {
        OutputBudget budget = OutputBudgetFor(FileSize64ByName(path.c_str()));
        OutputPlace place;
        InitOutputPlace(&place, nullptr);
        SourceExtraction x = {path.c_str(), path.c_str(), kindMask, &budget, &place, nullptr};
        ExtractResourcesOfFile(&x);
        FinishOutputPlace(&place);
    }
}

static double FolderBytes(const std::string& folder) {
    double bytes = 0;
    WIN32_FIND_DATAA file;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &file);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            bytes += (double)file.nFileSizeLow + 4294967296.0 * file.nFileSizeHigh;
    } while (FindNextFileA(find, &file));
    FindClose(find);
    return bytes;
}

// Every source again, into a folder of its own, with a budget that never runs
// out; the ratio of its whole output to its size, against the real budget.
static void MeasureRatios(const std::string& work, const std::vector<std::string>& modules) {
    std::string ratios = work + "\\ratios";
    CreateDirectoryA(ratios.c_str(), nullptr);
    std::vector<std::pair<double, std::string>> found;
    long overBudget = 0;
    for (const std::string& module : modules) {
        std::string copy = ratios + "\\" + FileName(module);
        if (!CopyFileA(module.c_str(), copy.c_str(), FALSE)) continue;
        LONGLONG size = FileSize64ByName(copy.c_str());
        OutputBudget unbounded = {~0ull};
        SourceExtraction x = {copy.c_str(), copy.c_str(), 0, &unbounded, nullptr, nullptr};
        ExtractResourcesOfFile(&x);
        RiffScanOptions options = {};
        options.budget = &unbounded;
        ScanRiffStreamsWith(copy.c_str(), 0, &options);
        std::string folder = copy.substr(0, copy.find_last_of('.'));
        double out = FolderBytes(folder);
        if (size > 0) found.push_back({out / (double)size, FileName(module)});
        if (out > (double)OutputBudgetFor(size).remaining) {
            overBudget++;
            printf("over the budget: %s, %.0f bytes from %lld\n", FileName(module).c_str(), out,
                   (long long)size);
        }
    }
    std::sort(found.rbegin(), found.rend());
    for (size_t i = 0; i < found.size() && i < 5; i++)
        printf("output / input: %.3f (%s)\n", found[i].first, found[i].second.c_str());
    printf("sources over the budget (%llu x size + %llu): %ld of %u\n",
           (unsigned long long)OUTPUT_BUDGET_MULTIPLE, (unsigned long long)OUTPUT_BUDGET_CONSTANT,
           overBudget, (unsigned)modules.size());
}

static void CountOutput(const std::string& work, long* files, double* bytes) {
    *files = 0;
    *bytes = 0;
    WIN32_FIND_DATAA folder;
    HANDLE folders = FindFirstFileA((work + "\\*").c_str(), &folder);
    if (folders == INVALID_HANDLE_VALUE) return;
    do {
        if (!(folder.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || folder.cFileName[0] == '.')
            continue;
        WIN32_FIND_DATAA file;
        HANDLE inner = FindFirstFileA((work + "\\" + folder.cFileName + "\\*").c_str(), &file);
        if (inner == INVALID_HANDLE_VALUE) continue;
        do {
            if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            (*files)++;
            *bytes += (double)file.nFileSizeLow + 4294967296.0 * file.nFileSizeHigh;
        } while (FindNextFileA(inner, &file));
        FindClose(inner);
    } while (FindNextFileA(folders, &folder));
    FindClose(folders);
}

// One job as the program runs it: its worker thread over the paths.
static double RunJob(std::vector<std::string>& paths) {
    std::vector<char*> table;
    for (std::string& path : paths) table.push_back(&path[0]);
    table.push_back(nullptr);
    ExtractionJob job = {0, (int)paths.size(), table.data(), nullptr, nullptr, nullptr, nullptr};
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    WorkerThread* worker = CreateWorkerThread(ExtractionWorker, &job);
    if (worker == nullptr || !ResumeWorkerThread(worker)) return -1;
    WaitForSingleObject(worker->thread, INFINITE);
    QueryPerformanceCounter(&to);
    ReleaseWorkerThread(worker);
    return Seconds(from, to);
}

static void RemoveOutputFolders(const std::vector<std::string>& sources) {
    for (const std::string& source : sources) {
        std::string folder = source.substr(0, source.find_last_of('.'));
        if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        system(("rmdir /s /q \"" + folder + "\"").c_str());
    }
}

static void CreateEmptyFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

static int MeasureFolders(const std::string& work, long treeFiles) {
    std::string copy = work + "\\system";
    CreateDirectoryA(copy.c_str(), nullptr);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof(system));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((std::string(system) + "\\*").c_str(), &data);
    std::vector<std::string> named;
    if (find == INVALID_HANDLE_VALUE) return 1;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string target = copy + "\\" + data.cFileName;
        if (!CopyFileA((std::string(system) + "\\" + data.cFileName).c_str(), target.c_str(),
                       FALSE))
            continue;
        if (IsModuleFileName(data.cFileName)) named.push_back(target);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(named.begin(), named.end());
    std::vector<std::string> folder = {copy};
    RunJob(named);  // warm the file cache
    // Into fresh output folders, as a first run writes; then again over the
    // folders of the run before, which a walk lists as well (they hold no
    // module, but are no folders of this job).
    double byName[2] = {1e9, 1e9}, byFolder[2] = {1e9, 1e9};
    // Each round takes the two ways in the other order, so that neither
    // always runs just after the removal of the other's folders.
    for (int round = 0; round < 6; round++) {
        for (int again = 0; again < 2; again++) {
            for (int turn = 0; turn < 2; turn++) {
                bool asFolder = (turn + round) % 2 == 1;
                if (!again) RemoveOutputFolders(named);
                double seconds = RunJob(asFolder ? folder : named);
                double* best = asFolder ? &byFolder[again] : &byName[again];
                *best = std::min(*best, seconds);
            }
        }
    }
    printf("system folder copy: %u module files\n", (unsigned)named.size());
    for (int again = 0; again < 2; again++)
        printf("%s: by name %.3f s, as one folder %.3f s (%.3f x by name)\n",
               again ? "over the earlier output" : "into fresh folders     ", byName[again],
               byFolder[again], byFolder[again] / byName[again]);
    printf("peak working set after both: %.1f MiB\n", PeakWorkingSet() / 1048576.0);

    std::string tree = work + "\\tree";
    CreateDirectoryA(tree.c_str(), nullptr);
    for (long i = 0; i < treeFiles; i++) {
        char name[64];
        snprintf(name, sizeof(name), "\\f%03ld", i / 1000);
        std::string sub = tree + name;
        if (i % 1000 == 0) CreateDirectoryA(sub.c_str(), nullptr);
        snprintf(name, sizeof(name), "\\e%05ld.dll", i);
        CreateEmptyFile(sub + name);
    }
    std::vector<std::string> treeJob = {tree};
    double walked = RunJob(treeJob);
    printf("tree of %ld empty .dll files as one folder: %.3f s\n", treeFiles, walked);
    printf("peak working set after the tree: %.1f MiB\n", PeakWorkingSet() / 1048576.0);
    return 0;
}

// Starts pelnore.exe once for each command line, all at once, and waits for
// every one of them to end.
static double RunStarts(const std::vector<std::string>& lines) {
    std::vector<PROCESS_INFORMATION> started;
    LARGE_INTEGER from, to;
    QueryPerformanceCounter(&from);
    for (const std::string& line : lines) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        std::vector<char> text(line.begin(), line.end());
        text.push_back('\0');
        if (!CreateProcessA(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info))
            return -1;
        started.push_back(info);
    }
    for (PROCESS_INFORMATION& info : started) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    QueryPerformanceCounter(&to);
    return Seconds(from, to);
}

static int MeasureStarts(const std::string& work) {
    std::vector<std::string> modules = CopySystemDlls(work);
    // The 24 largest, the likeliest to hold pictures, as a selection of
    // programs' files would.
    std::vector<std::pair<long long, std::string>> bySize;
    for (const std::string& module : modules) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(module.c_str(), GetFileExInfoStandard, &data))
            bySize.push_back({-(long long)data.nFileSizeLow, module});
    }
    std::sort(bySize.begin(), bySize.end());
    std::vector<std::string> chosen;
    for (size_t i = 0; i < bySize.size() && chosen.size() < 24; i++)
        chosen.push_back(bySize[i].second);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string exe = self;
    exe = "\"" + exe.substr(0, exe.find_last_of('\\')) + "\\..\\pelnore.exe\"";
    std::vector<std::string> each, one = {exe};
    for (const std::string& module : chosen) {
        each.push_back(exe + " \"" + module + "\"");
        one[0] += " \"" + module + "\"";
    }
    double starts = 1e9, single = 1e9;
    for (int round = 0; round < 6; round++) {
        bool asStarts = round % 2 == (round / 2) % 2;
        RemoveOutputFolders(chosen);
        double seconds = RunStarts(asStarts ? each : one);
        double* best = asStarts ? &starts : &single;
        *best = std::min(*best, seconds);
    }
    long files = 0;
    double bytes = 0;
    CountOutput(work, &files, &bytes);
    printf("%u modules, %ld files written by the last run\n", (unsigned)chosen.size(), files);
    printf(
        "one start with %u arguments: %.3f s, %u starts at once: %.3f s (%.3f x the one start)\n",
        (unsigned)chosen.size(), single, (unsigned)chosen.size(), starts, starts / single);
    return 0;
}

int main(int argc, char** argv) {
    std::string work;
    bool folders = argc > 1 && strcmp(argv[1], "/folders") == 0;
    bool starts = argc > 1 && strcmp(argv[1], "/starts") == 0;
    if (folders || starts) {
        argv++;
        argc--;
    }
    if (argc > 1) {
        work = argv[1];
    } else {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof(self));
        work = self;
        work = work.substr(0, work.find_last_of('\\')) + "\\extract-work";
    }
    // Start from an empty folder, so that only this run's output is counted.
    if (GetFileAttributesA(work.c_str()) != INVALID_FILE_ATTRIBUTES)
        system(("rmdir /s /q \"" + work + "\"").c_str());
    CreateDirectoryA(work.c_str(), nullptr);
    if (folders) return MeasureFolders(work, argc > 2 ? atol(argv[2]) : 100000);
    if (starts) return MeasureStarts(work);

    std::vector<std::string> modules = CopySystemDlls(work);
    for (int i = 2; i < argc; i++) {
        std::string target = work + "\\" + FileName(argv[i]);
        if (CopyFileA(argv[i], target.c_str(), FALSE)) modules.push_back(target);
    }
    printf("modules: %u DLLs copied from the system folder into %s\n", (unsigned)modules.size(),
           work.c_str());
    if (modules.empty()) return 1;

    LARGE_INTEGER t0, t1, t2, t3;
    LoadOnceAndEnumerate(modules);  // warm the file cache and the loader
    QueryPerformanceCounter(&t0);
    long names = OpenOnceAndEnumerate(modules);
    QueryPerformanceCounter(&t1);
    long loaderNames = LoadOnceAndEnumerate(modules);
    QueryPerformanceCounter(&t2);
    long assembled = OpenOnceAndAssemble(modules);
    QueryPerformanceCounter(&t3);
    // Content kinds off and on, in turns, the best of five each: the machine
    // is shared, and the best run is the one least disturbed.
    const KindMask riffOff = KIND_AVI | KIND_WAVE | KIND_ANICURSOR;
    double off = 1e9, on = 1e9;
    for (int round = 0; round < 5; round++) {
        LARGE_INTEGER a, b, c;
        QueryPerformanceCounter(&a);
        Extract(modules, riffOff | KindBitsOfWay(WAY_CONTENT));
        QueryPerformanceCounter(&b);
        Extract(modules, riffOff);
        QueryPerformanceCounter(&c);
        off = std::min(off, Seconds(a, b));
        on = std::min(on, Seconds(b, c));
    }

    long files = 0;
    double bytes = 0;
    CountOutput(work, &files, &bytes);
    double floor = Seconds(t0, t1), loader = Seconds(t1, t2);
    double assembling = Seconds(t2, t3);
    printf("floor, one open + enumerate 3 kinds:   %ld names in %.3f s\n", names, floor);
    printf("the loader, one load + enumerate:      %ld names in %.3f s (%.2f x the floor)\n",
           loaderNames, loader, loader / floor);
    printf("one open + assemble, nothing written:  %ld files in %.3f s (%.2f x the floor)\n",
           assembled, assembling, assembling / floor);
    printf("extract, content kinds off:            %.3f s (%.2f x the floor)\n", off, off / floor);
    printf(
        "extract, content kinds on:             %ld files, %.1f MB in %.3f s (%.2f x the floor)\n",
        files, bytes / 1e6, on, on / floor);
    printf("content kinds on / off:  %.3f\n", on / off);
    printf("files per second:      %.0f\n", files / on);
    printf("MB written per second: %.1f\n", bytes / 1e6 / on);
    printf("peak working set: %.1f MiB\n", PeakWorkingSet() / 1048576.0);
    MeasureRatios(work, modules);
    return 0;
}
