// The channel download: erase, place the status register, wait for the
// channel to halt, send the program in blocks (moving on into further
// channels when one is full), write the length and set or clear Auto Start.
// All traffic goes through linklib::ReadRegisters and WriteRegisters on a
// link the caller has opened and will close.
#pragma once

#include <cstdint>

#include "download/block_plan.h"
#include "download/front_end.h"
#include "download/program_file.h"
#include "link/link.h"

namespace download {

struct DownloadParameters {
  linklib::LinkHandle* link = nullptr;
  int channel = 1;               // first channel, 1..4, checked by the caller
  uint16_t status_register = 2;  // 2..2047, checked by the caller
  bool auto_start = false;
  bool erase = true;      // kxtload's -N turns it off; kxtdev always erases
  int channel_count = 1;  // contiguous channels a long program may fill (kxtload's -C)
};

enum class DownloadResult { Completed, Stopped };

// Runs the whole sequence on the caller's thread. On Stopped the front end
// has been told why (except after a "no" to the status register question,
// which stops silently). The Environment style closes `program` after the
// last block and on every stop; the Downloader style leaves it open.
DownloadResult RunDownload(const DownloadParameters& parameters, SequenceStyle style,
                           ProgramFile& program, FrontEnd& front_end);

}  // namespace download
