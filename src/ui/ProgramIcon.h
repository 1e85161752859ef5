#pragma once

#include <QIcon>

// The program's icon, drawn here so that no image file has to ship with the program: a
// database drum with a page of rows in front.
QIcon ProgramIcon();
