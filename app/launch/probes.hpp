// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

#include "protocol/hid/hid.hpp"
#include "protocol/pacing.hpp"

namespace zepa {

// Diagnostic probes of the Halvern keyboard. Each builds the text of its result file; the
// device is released before the text is returned, so the interface is closed when the file is
// written.

// "MODEL <14 bytes>\nCONFIG <136 bytes>\n", or "ERROR: <German description>\n".
QByteArray halvernModelProbe(std::shared_ptr<hid::Backend> backend, Sleeper sleeper);

// "OK\n" when the block read back equals the block written, "MISMATCH\n" otherwise, or
// "ERROR: <German description>\n".
QByteArray halvernWriteTestProbe(std::shared_ptr<hid::Backend> backend, Sleeper sleeper);

// Writes the text atomically: afterwards the file holds all of it or is as it was before.
bool writeProbeFile(const QString& path, const QByteArray& text);

}  // namespace zepa
