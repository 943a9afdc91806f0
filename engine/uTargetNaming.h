// Target naming: numbered copy names ("复件(0) 歌曲.mp3", "复件(1) 歌曲.mp3",
// ...) and the comparisons the engine uses for paths and names. The policy
// for an existing target (rename, ask, overwrite) is applied by the worker
// (TEncodeWorker::ResolveExistingTarget, uEncodeWorkerTarget.cpp).
// All functions are thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The name that follows Name (a file name without folder) in the copy
// sequence: "复件(0) " in front of a name without a copy marker, else the
// number in the marker plus one. A marker whose brackets do not hold only
// decimal digits counts as no marker.
std::u16string NextCopyName(const std::u16string& Name);

// The first numbered copy name of Path, in Path's folder, that names no
// existing file; Path itself when it is free.
std::u16string MakeCopyName(const std::u16string& Path);
// The same, where Taken says which names are in use, with every candidate
// fitted to MaxNameBytes (see FitFileName).
std::u16string MakeCopyName(const std::u16string& Path, int32_t MaxNameBytes,
                            const std::function<bool(const std::u16string&)>& Taken);

// Name (a file name without folder) shortened to at most MaxNameBytes bytes
// of its name on disk: characters go from the end of the stem, whole
// characters only, while the extension and a leading copy marker
// ("复件(3) ") stay. Name itself when it fits, or when even the marker and
// the extension alone do not.
std::u16string FitFileName(const std::u16string& Name, int32_t MaxNameBytes);

// Character by character without regard to letter case.
bool SameTextIgnoringCase(const std::u16string& A, const std::u16string& B);
std::u16string LowerCaseText(std::u16string Text);
