#include "docker/docker.h"

#include <gtest/gtest.h>

#include "core/test_writer.h"

namespace cvsysinfo {
namespace {

std::string info_elements(std::vector<std::string> lines) {
  TestWriter w;
  unsigned int ctid = 101;
  LineParser parser{w.get(), docker_info_parser, &ctid};
  for (std::string& line : lines) docker_info_parser(&parser, &line[0]);
  return w.text();
}

TEST(DockerInfo, KeysAtLineStartWithValue) {
  EXPECT_EQ(info_elements({"Containers: 3", "Images: 12 ", "Storage Driver: devicemapper",
                          " Pool Name: docker-pool", "Execution Driver: native-0.2",
                          "Storage Driver:", "Logging Driver: json-file", "Kernel Version: 3.10"}),
            "<Containers>3</Containers><Images>12 </Images><StorageDriver>devicemapper</StorageDriver>"
            "<ExecutionDriver>native-0.2</ExecutionDriver>");
}

TEST(DockerImages, ThreeFieldsOrAnEmptyImage) {
  TestWriter w;
  unsigned int ctid = 4000000000u;
  LineParser parser{w.get(), docker_image_parser, &ctid};
  std::string shortLine = "only two";
  docker_image_parser(&parser, &shortLine[0]);
  EXPECT_EQ(w.text(), "<Image/>");
}

TEST(DockerImages, AnIdTooLongForItsCommandIsNotInspected) {
  TestWriter w;
  unsigned int ctid = 101;
  LineParser parser{w.get(), docker_image_parser, &ctid};
  // Cut to 255 bytes, the command would inspect some other image.
  std::string id(250, 'f');
  std::string line = "cv/base latest " + id;
  testing::internal::CaptureStderr();
  docker_image_parser(&parser, &line[0]);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(w.text(), "<Image><Repository>cv/base</Repository><Tag>latest</Tag></Image>");
  EXPECT_EQ(err, "Command is longer than 255 bytes, not run: cvctl exec 101 docker inspect " + id + "\n");
}

}  // namespace
}  // namespace cvsysinfo
