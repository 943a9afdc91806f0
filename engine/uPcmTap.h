// A listener to the PCM of one task: it sees every block the worker hands
// to the encoder, in order, and learns how the task ended. The CD rip report
// computes its checksums this way, from the very bytes that were encoded.
//
// Threading: made on the main thread by the worker's host (for the task
// manager, its FPcmTapFactory) when a worker is handed the task; Write runs
// on the worker thread; Finish runs once on the main thread, in the task's
// success or failure step. A task ended by the worker's termination gets no
// Finish.
// Ownership: the worker owns the tap for the task's life.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TTaskItem;

class IPcmTap {
public:
  virtual ~IPcmTap() = default;
  // Bytes of decoded PCM in the format the decoder reported.
  virtual void Write(const uint8_t* Data, size_t Size) = 0;
  // Result: the task's result code (12 on success); TargetPath: the target.
  virtual void Finish(int32_t Result, const std::u16string& TargetPath) = 0;
};

// Makes the tap of a task, or none (the task is not listened to).
using TPcmTapFactory = std::function<std::unique_ptr<IPcmTap>(const TTaskItem& Task)>;
