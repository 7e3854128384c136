// The shipped server configuration of the maker's web services, run in the
// real nginx and read the way Tarnwick and Kestrup read it.
#include "RecordingWindow.h"
#include "tarnwick/transfer/CInternetTransfer.h"
#include "testing/FreeTcpPort.h"
#include "testing/NginxServer.h"

#include <gtest/gtest.h>

namespace {

TEST(DeployedServices, AddressServiceAndUpdateFiles)
{
    const uint16_t port = velt::testing::FreeTcpPort();
    velt::testing::TempDir site;
    velt::testing::WriteTextFile(site.file("Download/TWSetup.txt"), "version=1.4.45\r\ncmdline=REINSTALL=ALL\r\n");
    velt::testing::WriteTextFile(site.file("Download/TWSetup.msi"), "package");
    velt::testing::NginxServer nginx({},
                                     "server { listen 127.0.0.1:" + std::to_string(port) + "; root "
                                         + site.path().string()
                                         + "; include " VELT_DEPLOY_DIR "/nginx/tarnwick-locations.conf; }\n");
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    RecordingWindow window;
    tarnwick::CInternetTransfer transfer;
    transfer.SetMessageWindow(&window);
    std::string address;
    EXPECT_TRUE(transfer.ReadClientAddress(address, base + "/Tarnwick/GetClientIP.asp?TextOnly=1")) << nginx.logs();
    EXPECT_EQ(address, "127.0.0.1");

    std::string text;
    EXPECT_TRUE(transfer.GetPage(text, base + "/Download/TWSetup.txt"));
    EXPECT_EQ(text, "version=1.4.45\r\ncmdline=REINSTALL=ALL\r\n");
    EXPECT_TRUE(transfer.GetPage(text, base + "/Download/TWSetup.msi"));
    EXPECT_FALSE(transfer.GetPage(text, base + "/Download/Fehlt.txt"));
    EXPECT_EQ(window.Errors(), std::vector<std::string> {"Server Fehler: 404. Not Found"});
}

} // namespace
