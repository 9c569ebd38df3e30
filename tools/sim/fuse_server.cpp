// SPDX-License-Identifier: MIT
#define FUSE_USE_VERSION 35

#include "tools/sim/fuse_server.hpp"

#include <fuse.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

namespace zepa::sim {

namespace {

constexpr std::string_view inputDirPath = "/input";

Simulator& simulator() {
  return *static_cast<Simulator*>(fuse_get_context()->private_data);
}

enum class NodeKind { none, root, inputDir, hidraw, event };

struct Node {
  NodeKind kind = NodeKind::none;
  std::string name;  // hidrawN / eventN
};

Node lookup(std::string_view path) {
  if (path == "/") return {NodeKind::root, ""};
  if (path == inputDirPath) return {NodeKind::inputDir, ""};
  Simulator& sim = simulator();
  if (path.starts_with("/input/")) {
    const std::string name(path.substr(inputDirPath.size() + 1));
    const HidInterface* interface = sim.findEvent(name);
    if (interface && sim.attached(*interface)) return {NodeKind::event, name};
    return {};
  }
  const std::string name(path.substr(1));
  const HidInterface* interface = sim.findHidraw(name);
  if (interface && sim.attached(*interface)) return {NodeKind::hidraw, name};
  return {};
}

void* initFs(fuse_conn_info*, fuse_config* config) {
  // Unplugged nodes must vanish at once, so nothing about names or attributes is cached.
  config->entry_timeout = 0;
  config->attr_timeout = 0;
  config->negative_timeout = 0;
  config->use_ino = 0;
  return fuse_get_context()->private_data;
}

int getattrFs(const char* path, struct stat* st, fuse_file_info*) {
  std::memset(st, 0, sizeof *st);
  const Node node = lookup(path);
  st->st_uid = getuid();
  st->st_gid = getgid();
  switch (node.kind) {
    case NodeKind::root:
    case NodeKind::inputDir:
      st->st_mode = S_IFDIR | 0755;
      st->st_nlink = 2;
      return 0;
    case NodeKind::hidraw:
    case NodeKind::event:
      // Regular files: a character device would be opened by the kernel's own driver.
      st->st_mode = S_IFREG | 0666;
      st->st_nlink = 1;
      return 0;
    case NodeKind::none:
      break;
  }
  return -ENOENT;
}

int readdirFs(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
              fuse_readdir_flags) {
  const Node node = lookup(path);
  if (node.kind != NodeKind::root && node.kind != NodeKind::inputDir) return -ENOTDIR;
  fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  Simulator& sim = simulator();
  if (node.kind == NodeKind::root)
    fill(buffer, "input", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  for (const auto& interface : sim.attachedInterfaces()) {
    if (node.kind == NodeKind::root)
      fill(buffer, interface.hidrawNode().c_str(), nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
    else
      for (const auto& input : interface.inputs)
        fill(buffer, input.eventNode().c_str(), nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  }
  return 0;
}

int openFs(const char* path, fuse_file_info* info) {
  const Node node = lookup(path);
  if (node.kind == NodeKind::none) return -ENOENT;
  if (node.kind != NodeKind::hidraw && node.kind != NodeKind::event) return -EISDIR;
  if (int error = simulator().openNode(node.name)) return -error;
  info->direct_io = 1;
  info->nonseekable = 1;
  return 0;
}

// Input reports are never produced; a read finds nothing waiting.
int readFs(const char*, char*, size_t, off_t, fuse_file_info*) {
  return -EAGAIN;
}
int writeFs(const char*, const char*, size_t, off_t, fuse_file_info*) {
  return -EINVAL;
}
int truncateFs(const char*, off_t, fuse_file_info*) {
  return 0;
}

// EVIOCGKEYCODE_V2 is declared read-only, so FUSE hands over no input: the scancode the
// caller asks about is read from its memory.
bool readCallerMemory(void* address, void* into, std::size_t size) {
  const pid_t pid = fuse_get_context()->pid;
  iovec local{into, size};
  iovec remote{address, size};
  if (process_vm_readv(pid, &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size)) return true;
  std::ifstream memory("/proc/" + std::to_string(pid) + "/mem", std::ios::binary);
  memory.seekg(static_cast<std::streamoff>(reinterpret_cast<std::uintptr_t>(address)));
  return static_cast<bool>(
      memory.read(static_cast<char*>(into), static_cast<std::streamsize>(size)));
}

KeymapEntry fromKernel(const input_keymap_entry& in) {
  KeymapEntry entry;
  entry.flags = in.flags;
  entry.len = in.len;
  entry.index = in.index;
  entry.keycode = in.keycode;
  std::memcpy(entry.scancode, in.scancode, sizeof entry.scancode);
  return entry;
}

int hidrawIoctl(const std::string& node, unsigned int cmd, void* arg, void* data) {
  Simulator& sim = simulator();
  const HidInterface* interface = sim.findHidraw(node);
  if (!interface) return -ENODEV;
  const std::size_t size = _IOC_SIZE(cmd);
  const unsigned int sized = cmd & ~(_IOC_SIZEMASK << _IOC_SIZESHIFT);
  if (sized == (HIDIOCSFEATURE(0) & ~(_IOC_SIZEMASK << _IOC_SIZESHIFT)))
    return static_cast<int>(
        sim.setFeature(node, std::span(static_cast<const std::uint8_t*>(data), size)));
  if (sized == (HIDIOCGFEATURE(0) & ~(_IOC_SIZEMASK << _IOC_SIZESHIFT)))
    return static_cast<int>(
        sim.getFeature(node, std::span(static_cast<std::uint8_t*>(data), size)));
  if (!sim.attached(*interface)) return -ENODEV;
  if (cmd == HIDIOCGRDESCSIZE) {
    *static_cast<int*>(data) = static_cast<int>(interface->descriptor.size());
    return 0;
  }
  if (cmd == HIDIOCGRDESC) {
    // The command is read-only, so FUSE hands over none of the caller's structure, yet copies
    // all of ours back: start from the caller's own bytes, so only what the kernel writes
    // changes. The kernel keeps `size` and copies at most that much.
    auto* descriptor = static_cast<hidraw_report_descriptor*>(data);
    if (!readCallerMemory(arg, descriptor, sizeof *descriptor)) return -EFAULT;
    if (descriptor->size > HID_MAX_DESCRIPTOR_SIZE - 1) return -EINVAL;
    const std::size_t length =
        std::min<std::size_t>(descriptor->size, interface->descriptor.size());
    std::memcpy(descriptor->value, interface->descriptor.data(), length);
    return 0;
  }
  if (cmd == HIDIOCGRAWINFO) {
    auto* info = static_cast<hidraw_devinfo*>(data);
    info->bustype = BUS_USB;
    info->vendor = static_cast<__s16>(interface->vendor);
    info->product = static_cast<__s16>(interface->product);
    return 0;
  }
  if (sized == (HIDIOCGRAWNAME(0) & ~(_IOC_SIZEMASK << _IOC_SIZESHIFT))) {
    if (size == 0) return 0;
    const std::size_t length = std::min(interface->name.size(), size - 1);
    std::memcpy(data, interface->name.data(), length);
    static_cast<char*>(data)[length] = '\0';
    return static_cast<int>(length + 1);
  }
  return -ENOTTY;
}

int eventIoctl(const std::string& node, unsigned int cmd, void* arg, void* data) {
  Simulator& sim = simulator();
  if (cmd == EVIOCSKEYCODE_V2)
    return sim.setKeycode(node, fromKernel(*static_cast<const input_keymap_entry*>(data)));
  if (cmd == EVIOCGKEYCODE_V2) {
    input_keymap_entry asked{};
    if (!readCallerMemory(arg, &asked, sizeof asked)) return -EFAULT;
    KeymapEntry entry = fromKernel(asked);
    if (int result = sim.getKeycode(node, entry)) return result;
    auto* answer = static_cast<input_keymap_entry*>(data);
    answer->flags = entry.flags;
    answer->len = entry.len;
    answer->index = entry.index;
    answer->keycode = entry.keycode;
    std::memcpy(answer->scancode, entry.scancode, sizeof answer->scancode);
    return 0;
  }
  const HidInterface* interface = sim.findEvent(node);
  if (!interface || !sim.attached(*interface)) return -ENODEV;
  if (cmd == EVIOCGID) {
    auto* id = static_cast<input_id*>(data);
    id->bustype = BUS_USB;
    id->vendor = interface->vendor;
    id->product = interface->product;
    id->version = 0x0111;
    return 0;
  }
  return -ENOTTY;
}

int ioctlFs(const char* path, unsigned int cmd, void* arg, fuse_file_info*, unsigned int flags,
            void* data) {
  if (flags & FUSE_IOCTL_COMPAT) return -ENOSYS;
  const Node node = lookup(path);
  switch (node.kind) {
    case NodeKind::hidraw:
      return hidrawIoctl(node.name, cmd, arg, data);
    case NodeKind::event:
      return eventIoctl(node.name, cmd, arg, data);
    case NodeKind::none:
      return -ENODEV;  // the node went away while open
    default:
      return -ENOTTY;
  }
}

bool isMountedAt(const std::filesystem::path& mountPoint) {
  std::ifstream mounts("/proc/self/mountinfo");
  std::string line;
  const std::string wanted = mountPoint.string();
  while (std::getline(mounts, line)) {
    // Field 5 is the mount point (spaces escaped as \040, which our paths do not contain).
    std::size_t start = 0;
    for (int field = 0; field < 4 && start != std::string::npos; ++field)
      start = line.find(' ', start) + 1;
    if (start == 0) continue;
    const std::size_t end = line.find(' ', start);
    if (line.compare(start, end - start, wanted) == 0) return true;
  }
  return false;
}

}  // namespace

bool clearStaleMount(const std::filesystem::path& mountPoint) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(mountPoint, error).lexically_normal();
  struct stat st {};
  const bool dead = ::stat(absolute.c_str(), &st) != 0 && errno == ENOTCONN;
  if (!dead && !isMountedAt(absolute)) return true;
  // Lazy: a process that still holds a node open must not keep us from mounting.
  if (::umount2(absolute.c_str(), MNT_DETACH) == 0) return true;
  const std::string command = "fusermount3 -u -z '" + absolute.string() + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

bool serveDeviceNodes(Simulator& simulator, const std::filesystem::path& mountPoint,
                      const std::function<void()>& ready) {
  fuse_operations operations{};
  operations.init = initFs;
  operations.getattr = getattrFs;
  operations.readdir = readdirFs;
  operations.open = openFs;
  operations.read = readFs;
  operations.write = writeFs;
  operations.truncate = truncateFs;
  operations.ioctl = ioctlFs;

  char program[] = "zepa-sim";
  char option[] = "-o";
  char mountOptions[] = "fsname=zepa-sim,subtype=zepa-sim,default_permissions";
  char* argv[] = {program, option, mountOptions, nullptr};
  fuse_args args = FUSE_ARGS_INIT(3, argv);
  fuse* fs = fuse_new(&args, &operations, sizeof operations, &simulator);
  fuse_opt_free_args(&args);  // parsing may have copied them
  if (!fs) {
    std::cerr << "zepa-sim: cannot create the FUSE file system\n";
    return false;
  }
  if (fuse_mount(fs, mountPoint.c_str()) != 0) {
    std::cerr << "zepa-sim: cannot mount " << mountPoint << " (is /dev/fuse there?)\n";
    fuse_destroy(fs);
    return false;
  }
  fuse_session* session = fuse_get_session(fs);
  // A shell starts background jobs with SIGINT ignored, and libfuse leaves ignored signals
  // alone; the simulator must still stop cleanly on either.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (fuse_set_signal_handlers(session) != 0) {
    fuse_unmount(fs);
    fuse_destroy(fs);
    return false;
  }
  ready();
  // One thread: every call goes through the simulator's lock anyway.
  fuse_loop(fs);
  fuse_remove_signal_handlers(session);
  fuse_unmount(fs);
  fuse_destroy(fs);
  return true;
}

}  // namespace zepa::sim
