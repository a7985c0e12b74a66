#pragma once
/// \file
/// The framework classes the library is built on and passes across its interface: includes
/// every header of plinth/afx/.

#include <plinth/afx/Array.h>
#include <plinth/afx/ComBSTR.h>
#include <plinth/afx/DateTime.h>
#include <plinth/afx/Exception.h>
#include <plinth/afx/File.h>
#include <plinth/afx/FileFind.h>
#include <plinth/afx/Map.h>
#include <plinth/afx/Module.h>
#include <plinth/afx/Object.h>
#include <plinth/afx/String.h>
#include <plinth/afx/WinApp.h>
