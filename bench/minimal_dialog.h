// Identifiers of the minimal dialog's resources.
#pragma once

#define IDD_MINIMAL 101
