#include <cstdio>

#include "kxtload/downloader.h"
#include "link/link.h"

int main(int argc, char** argv) {
  linklib::SetProgramStyle(linklib::ProgramStyle::Downloader);
  return kxtload::RunDownloader(argc, argv, stdin, stdout);
}
