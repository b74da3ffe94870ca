// The planting half of the residue tests as a program, for the user-mode Linux guest whose
// kernel has the FAT driver that the host lacks:
//   residue_tool plant ROOT TAG [LARGE SMALL]  the user's files, then deleted marker files;
//                                              prints the user files' checksums
//   residue_tool sums ROOT                     the user files' checksums as they are now
//   residue_tool poweroff                      ends the guest (its init has nobody to ask)
#include <sys/reboot.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "integration/residue.h"

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "plant" && (argc == 4 || argc == 6)) {
    nd::test::PlantPlan plan;
    plan.tag = argv[3];
    if (argc == 6) {
      plan.large_files = std::stoi(argv[4]);
      plan.small_files = std::stoi(argv[5]);
    }
    // The user's files first, so that none of them takes over a freed cluster.
    std::string sums = nd::test::FormatChecksums(nd::test::WriteUserFiles(argv[2]));
    std::string error;
    if (nd::test::PlantDeletedFiles(argv[2], plan, &error) == 0) {
      std::fprintf(stderr, "residue_tool: %s\n", error.c_str());
      return 1;
    }
    std::fputs(sums.c_str(), stdout);
    return 0;
  }
  if (command == "sums" && argc == 3) {
    std::fputs(nd::test::FormatChecksums(nd::test::ReadUserFiles(argv[2])).c_str(), stdout);
    return 0;
  }
  if (command == "poweroff" && argc == 2) {
    ::sync();
    ::reboot(RB_POWER_OFF);
    std::perror("residue_tool: reboot");
    return 1;
  }
  std::fputs("usage: residue_tool plant ROOT TAG [LARGE SMALL] | sums ROOT | poweroff\n", stderr);
  return 2;
}
