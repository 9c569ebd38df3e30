// SPDX-License-Identifier: MIT
#include "app/model/settings_store.hpp"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <utility>

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
#include <QThread>

#include "app/model/unreadable_file.hpp"
#include "protocol/json_fields.hpp"

namespace zepa {

namespace {

QSettings openSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZEPA Control"),
                   QStringLiteral("ZEPA Control"));
}

QByteArray bytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// Qt reports a broken "@Variant(…)" with an English warning on standard error; while the file
// is read the warnings are kept off the user's terminal and only counted as damage.
std::atomic<int> qtWarnings{0};
void countMessage(QtMsgType, const QMessageLogContext&, const QString&) {
  ++qtWarnings;
}

class QuietQt {
 public:
  QuietQt() : previous_(qInstallMessageHandler(countMessage)) {}
  ~QuietQt() { qInstallMessageHandler(previous_); }
  QuietQt(const QuietQt&) = delete;
  QuietQt& operator=(const QuietQt&) = delete;

 private:
  QtMessageHandler previous_;
};

// Lines Qt would not carry over into a rewritten file: text that is not UTF-8, NUL bytes, a
// line that is neither a group, a comment nor key=value, and a key given twice in a group.
bool linesQtKeeps(const QByteArray& text) {
  if (text.contains('\0')) return false;
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString decoded = decoder(text);
  if (decoder.hasError()) return false;
  QString group;
  std::set<QString> keys;
  for (const QString& rawLine : decoded.split(QLatin1Char('\n'))) {
    const QString line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
      continue;
    if (line.startsWith(QLatin1Char('['))) {
      if (!line.endsWith(QLatin1Char(']'))) return false;
      group = line;
      continue;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0) return false;
    if (!keys.insert(group + QLatin1Char('\n') + line.left(equals).trimmed()).second) return false;
  }
  return true;
}

bool dataDecodes(const QString& key, std::string_view text) {
  if (key == QLatin1String(SettingsStore::halvernLightingKey))
    return decodeHalvernLighting(text).has_value();
  if (key == QLatin1String(SettingsStore::halvernRemapsKey))
    return decodeKeyRemaps(text).has_value();
  if (key == QLatin1String(SettingsStore::customEffectNamesKey))
    return decodeEffectNames(text).has_value();
  return decodeEffectSemanticMap(text).has_value();
}

// Every value of ours that is there reads back as what it should be.
bool valuesReadable(const QSettings& settings) {
  for (const char* key : {SettingsStore::autoClockKey, SettingsStore::autoApplyKey}) {
    if (settings.contains(QLatin1String(key)) &&
        !SettingsStore::boolFromVariant(settings.value(QLatin1String(key))))
      return false;
  }
  for (const char* key :
       {SettingsStore::halvernLightingKey, SettingsStore::halvernRemapsKey,
        SettingsStore::customEffectNamesKey, SettingsStore::effectSemanticMapKey}) {
    const QString name = QLatin1String(key);
    if (!settings.contains(name)) continue;
    const QVariant value = settings.value(name);
    if (value.typeId() != QMetaType::QByteArray || !dataDecodes(name, view(value.toByteArray())))
      return false;
  }
  return true;
}

// QLockFile tells a dead writer by the process ID in the lock file. A writer killed before it
// wrote that leaves an empty or partial file, which QSettings would wait out for 30 seconds
// on every write. Such a lock is given at most a second to be filled, then removed.
void clearAbandonedLock(const QString& lockPath) {
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    QFile lock(lockPath);
    if (!lock.open(QIODevice::ReadOnly)) return;
    // Qt writes the process ID, the program and the host, one per line, in one go.
    if (lock.read(4096).count('\n') >= 3) return;
    const QDateTime modified = QFileInfo(lockPath).lastModified();
    if (modified.msecsTo(QDateTime::currentDateTime()) >= 1000 || waited.elapsed() >= 1000) {
      QFile::remove(lockPath);
      return;
    }
    QThread::msleep(50);
  }
}

// One writer thread for the process, so writes are applied in the order given and the last
// write of a key wins, whichever store queued them. Standard threads rather than a QThreadPool:
// the hand-over is then visible to ThreadSanitizer, which cannot see Qt's futex-based locks.
class Writer {
 public:
  ~Writer() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  void start(std::function<void()> task) {
    {
      const std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
      if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    wake_.notify_all();
  }

  void waitForDone() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return tasks_.empty() && !busy_; });
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      busy_ = true;
      lock.unlock();
      task();
      lock.lock();
      busy_ = false;
      if (tasks_.empty()) done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::deque<std::function<void()>> tasks_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

Writer& writer() {
  static Writer instance;
  return instance;
}

// Held by the writer for the whole write. QSettings objects of one process share the file's
// pending changes, so a read that opened the file mid-write would write it itself.
std::mutex fileMutex;

}  // namespace

SettingsStore::SettingsStore(Writes writes)
    : path_(filePath()), background_(writes == Writes::background) {
  QFile file(path_);
  if (!file.exists()) return;
  // QSettings reads the whole file into memory; one far larger than ours is not read at all.
  if (file.size() > static_cast<qint64>(json_fields::maxDocumentSize)) {
    damaged_ = tooLarge_ = true;
    return;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    damaged_ = true;
    return;
  }
  const QByteArray text = file.readAll();
  const int warningsBefore = qtWarnings;
  const std::lock_guard lock(fileMutex);
  QuietQt quiet;
  QSettings settings = openSettings();
  bool everyValueValid = true;
  for (const QString& key : settings.allKeys()) everyValueValid &= settings.value(key).isValid();
  damaged_ = settings.status() != QSettings::NoError || !everyValueValid ||
             qtWarnings != warningsBefore || !linesQtKeeps(text) || !valuesReadable(settings);
}

SettingsStore::~SettingsStore() {
  if (background_) waitForWrites();
}

void SettingsStore::waitForWrites() {
  writer().waitForDone();
}

bool SettingsStore::damaged() const {
  const std::lock_guard lock(mutex_);
  return damaged_;
}

QString SettingsStore::filePath() {
  const std::lock_guard lock(fileMutex);
  QuietQt quiet;
  return openSettings().fileName();
}

QString SettingsStore::keepDamagedFileAside() {
  const std::lock_guard lock(mutex_);
  return keepDamagedFileAsideLocked();
}

QString SettingsStore::keepDamagedFileAsideLocked() {
  if (!damaged_ || keptAside_) return {};
  // A file too large to read is moved, so QSettings starts afresh instead of parsing it.
  const QString aside =
      tooLarge_ ? UnreadableFile::moveAside(path_) : UnreadableFile::copyAside(path_);
  keptAside_ = !aside.isEmpty();
  if (keptAside_) tooLarge_ = false;
  return aside;
}

bool SettingsStore::prepareWrite() {
  {
    const std::lock_guard lock(mutex_);
    if (damaged_ && !keptAside_) {
      keepDamagedFileAsideLocked();
      if (!keptAside_) return false;
    }
  }
  clearAbandonedLock(path_ + QStringLiteral(".lock"));
  return true;
}

void SettingsStore::write(const QString& key, std::optional<QVariant> value) {
  if (!background_) {
    writeToFile(key, value);
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    cache_[key] = value;
    ++queued_;
  }
  writer().start([this, key, value = std::move(value)] {
    const bool written = writeToFile(key, value);
    const std::lock_guard lock(mutex_);
    --queued_;
    // A refused write left the file as it was; reads say so again, as without the queue.
    if (!written) cache_.erase(key);
  });
}

bool SettingsStore::writeToFile(const QString& key, const std::optional<QVariant>& value) {
  if (!prepareWrite()) return false;
  const std::lock_guard file(fileMutex);
  // Written when the object goes, still under the lock.
  QSettings settings = openSettings();
  if (value)
    settings.setValue(key, *value);
  else
    settings.remove(key);
  return true;
}

std::optional<QVariant> SettingsStore::lookUp(const QString& key) const {
  // A read never waits for a write in progress and never opens the file during one.
  std::unique_lock file(fileMutex, std::try_to_lock);
  {
    const std::lock_guard lock(mutex_);
    if (tooLarge_) return std::nullopt;
    if (!file.owns_lock() || queued_ > 0) {
      if (const auto cached = cache_.find(key); cached != cache_.end()) return cached->second;
    }
  }
  // Not written in this run: the file holds it, once the write in progress is done.
  if (!file.owns_lock()) file.lock();
  std::optional<QVariant> stored;
  {
    QuietQt quiet;
    const QSettings settings = openSettings();
    if (settings.contains(key)) stored = settings.value(key);
  }
  const std::lock_guard lock(mutex_);
  if (queued_ == 0) cache_[key] = stored;
  return stored;
}

QVariant SettingsStore::value(const QString& key) const {
  return lookUp(key).value_or(QVariant());
}

bool SettingsStore::contains(const QString& key) const {
  return lookUp(key).has_value();
}

std::optional<bool> SettingsStore::boolFromVariant(const QVariant& value) {
  if (value.typeId() == QMetaType::Bool) return value.toBool();
  // The native format on Linux is a text file: a stored boolean reads back as its word.
  if (value.typeId() != QMetaType::QString) return std::nullopt;
  const QString text = value.toString();
  if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1"))
    return true;
  if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || text == QLatin1String("0"))
    return false;
  return std::nullopt;
}

bool SettingsStore::boolValue(const QString& key, bool fallback) const {
  return boolFromVariant(value(key)).value_or(fallback);
}

void SettingsStore::setBool(const QString& key, bool value) {
  write(key, QVariant(value));
}

std::optional<QByteArray> SettingsStore::data(const QString& key) const {
  const QVariant stored = value(key);
  if (stored.typeId() != QMetaType::QByteArray) return std::nullopt;
  return stored.toByteArray();
}

void SettingsStore::setData(const QString& key, const QByteArray& bytes) {
  write(key, QVariant(bytes));
}

void SettingsStore::remove(const QString& key) {
  write(key, std::nullopt);
}

HalvernLightingConfig SettingsStore::defaultHalvernLighting() {
  return HalvernLightingConfig{HalvernEffect::aurora, RGBColor::cyan, 4, 4, true};
}

HalvernLightingConfig SettingsStore::halvernLighting() const {
  if (const auto stored = data(halvernLightingKey)) {
    if (auto config = decodeHalvernLighting(view(*stored))) return *config;
  }
  return defaultHalvernLighting();
}

void SettingsStore::setHalvernLighting(const HalvernLightingConfig& config) {
  setData(halvernLightingKey, bytes(encodeHalvernLighting(config)));
}

std::vector<KeyRemap> SettingsStore::halvernRemaps() const {
  if (const auto stored = data(halvernRemapsKey)) {
    if (auto remaps = decodeKeyRemaps(view(*stored))) return *remaps;
  }
  return {};
}

void SettingsStore::setHalvernRemaps(const std::vector<KeyRemap>& remaps) {
  setData(halvernRemapsKey, bytes(encodeKeyRemaps(remaps)));
}

std::optional<EffectNames> SettingsStore::customEffectNames() const {
  const auto stored = data(customEffectNamesKey);
  if (!stored) return std::nullopt;
  return decodeEffectNames(view(*stored));
}

void SettingsStore::setCustomEffectNames(const EffectNames& names) {
  setData(customEffectNamesKey, bytes(encodeEffectNames(names)));
}

std::optional<EffectSemanticMap> SettingsStore::effectSemanticMap() const {
  const auto stored = data(effectSemanticMapKey);
  if (!stored) return std::nullopt;
  return decodeEffectSemanticMap(view(*stored));
}

void SettingsStore::setEffectSemanticMap(const EffectSemanticMap& map) {
  setData(effectSemanticMapKey, bytes(encodeEffectSemanticMap(map)));
}

}  // namespace zepa
