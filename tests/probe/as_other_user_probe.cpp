// A child program for the tests of files that belong to someone else. Run
// as the superuser it becomes the user "nobody" (who owns nothing of the
// tests' files), run as anyone else it stays that user; then it runs the
// program named by its first argument with the arguments that follow.
// "--check" only tells whether that works: status 0, or 125 when the
// superuser cannot be left.
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) return 125;
  if (geteuid() == 0) {
    const struct passwd* nobody = getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0 || geteuid() == 0) {
      std::fputs("cannot leave the superuser\n", stderr);
      return 125;
    }
  }
  if (std::strcmp(argv[1], "--check") == 0) return 0;
  execv(argv[1], argv + 1);
  std::perror(argv[1]);
  return 126;
}
