// The program helpers in one include: folders and files, text and numbers,
// registry lists and the settings import, file associations, the desktop,
// and the helpers over controls.
#pragma once
#include "app/helpers/control_helpers.h"
#include "app/helpers/desktop_helpers.h"
#include "app/helpers/file_associations.h"
#include "app/helpers/folder_helpers.h"
#include "app/helpers/registry_helpers.h"
#include "app/helpers/text_helpers.h"
