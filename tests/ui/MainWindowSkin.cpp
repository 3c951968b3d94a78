#include "MainWindowSkin.h"

#include <string>

#include "support/PngWriter.h"
#include "support/ZipWriter.h"
#include "ui/markup/SkinStorage.h"

namespace testing_support {

const wchar_t* const kMainWindowMarkup = LR"xml(<?xml version="1.0" encoding="utf-8"?>
<Window size="540,355">
  <Font name="Tahoma" size="12" default="true" />
  <Font name="Tahoma" size="14" />
  <Default name="Label" value="font=&quot;1&quot; textcolor=&quot;#FF000000&quot;" />
  <Container name="root" bkcolor="#FFF0F0F0">
    <TabLayout name="tb_main">
      <VerticalLayout name="vlt_start">
        <Control name="ctl_fill" />
        <HorizontalLayout name="hlt_bar" height="42" bkcolor="#FFDDDDDD" menu="true">
          <Control name="ctl_plain" />
        </HorizontalLayout>
        <Button name="btn_install" float="true" pos="177,237,0,0" width="184" height="44"
                normalimage="btn_n.png" hotimage="btn_h.png" pushedimage="btn_p.png"
                text="一键安装" />
        <Option name="opt_agree" float="true" pos="20,270,90,294" text="同意" align="left"
                textpadding="20,0,0,0" bkimage="file='opt_000.png' dest='0,4,16,20'"
                selectedimage="file='opt_001.png' dest='0,4,16,20'" selected="true" />
        <Button name="btn_agreement" float="true" pos="100,270,200,294" text="协议" />
        <Button name="btn_free" float="true" pos="420,270,520,294" text="自定义安装" />
      </VerticalLayout>
      <VerticalLayout name="vlt_folder">
        <Label name="lb_dir" float="true" pos="20,100,100,130" text="安装目录" />
        <Edit name="edit_input" float="true" pos="100,100,400,130" bkcolor="#FFFFFFFF"
              font="1" />
        <Button name="btn_select" float="true" pos="410,100,480,130" text="浏览" />
        <Label name="lb_tip" float="true" pos="20,140,480,170" />
        <Button name="btn_install2" float="true" pos="177,237,361,281"
                normalimage="btn_n.png" text="立即安装" />
      </VerticalLayout>
      <VerticalLayout name="vlt_progress">
        <Progress name="pro_InstallProgress" float="true" pos="20,200,520,230"
                  bkimage="progress_bk.png" foreimage="progress_fore.png" />
        <Label name="lb_download" float="true" pos="20,240,200,260" text="下载中" />
        <Label name="lb_speed" float="true" pos="300,240,520,270" align="right" text="90%" />
      </VerticalLayout>
    </TabLayout>
    <Button name="btn_min" float="true" pos="458,0,483,23" normalimage="btn_n.png"
            hotimage="btn_h.png" />
    <Button name="btn_close" float="true" pos="488,0,513,23" normalimage="btn_n.png"
            hotimage="btn_h.png" pushedimage="btn_p.png" tooltip="关闭&lt;n&gt;安装程序" />
  </Container>
</Window>
)xml";

namespace {

// An opaque 0xRRGGBB as the PNG writer's 0xRRGGBBAA.
uint32_t Rgba(uint32_t rgb) { return (rgb << 8) | 0xFF; }

}  // namespace

bool InstallMainWindowSkin() {
  const auto zip = BuildZip({
      {"btn_n.png", SolidPng(8, 8, Rgba(kButtonNormal)), false},
      {"btn_h.png", SolidPng(8, 8, Rgba(kButtonHot)), false},
      {"btn_p.png", SolidPng(8, 8, Rgba(kButtonPushed)), false},
      {"opt_000.png", SolidPng(16, 16, Rgba(kBoxEmpty)), false},
      {"opt_001.png", SolidPng(16, 16, Rgba(kBoxTicked)), false},
      {"progress_bk.png", SolidPng(10, 10, Rgba(kProgressTrack)), true},
      {"progress_fore.png", SolidPng(10, 10, Rgba(kProgressFill)), true},
  });
  return SkinUI::CSkinStorage::SetSkinArchive(zip.bytes.data(), zip.bytes.size());
}

void RemoveMainWindowSkin() { SkinUI::CSkinStorage::CloseSkinArchive(); }

}  // namespace testing_support
