// SPDX-License-Identifier: MIT
#include "app/launch/zepa_control_app.hpp"

int main(int argc, char** argv) {
  return zepa::runZEPAControl(argc, argv);
}
