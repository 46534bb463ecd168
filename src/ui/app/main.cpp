#include "ui/app/tarnel_app.h"

int main(int argc, char** argv) {
  CTarnelApp app(argc, argv);
  if (!app.InitInstance()) return 1;
  return app.exec();
}
