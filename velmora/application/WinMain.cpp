// Process entry of the player: the start configuration, start-up, the run,
// then the exit steps.
#include <GLFW/glfw3.h>

#include "application/Application.h"
#include "platform/CommandLine.h"
#include "render/RenderTarget.h"

int main(int argc, char** argv) {
  platform::SetCommandLine(argc, argv);
  AppConfig config;
  config.title = "Corvanta 2021 - Velmora - PINVALE";
  config.dataDirectory = "Data";
  config.sequenceFile = "seq/_DemoFull_.seq";
  config.loadListFile = "csv/demo.csv";

  Application& app = Application::Get();
  app.Init(config);
  app.Run(config);

  ReleaseFrameResources();
  glfwDestroyWindow(g_mainWindow);
  g_mainWindow = nullptr;
  glfwTerminate();
  return 0;
}
