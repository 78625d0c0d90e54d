#pragma once
// What the Wexley tests share: a private temporary folder and files with exact bytes.

#include "support/temporary_folder.h"

namespace wexleytest {

using TempFolder = test_support::TemporaryFolder;
using test_support::readFile;
using test_support::writeFile;

}  // namespace wexleytest
