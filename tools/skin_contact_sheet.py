"""Review page for the skin artwork: mock-ups of the installer's views with every image placed
where the layouts put it (at 100 %, one image pixel in three), and below them each image on its
own, state strips laid side by side."""

from PIL import Image, ImageDraw, ImageFont

S = 3
FONT_FILE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
PAGE = (236, 238, 243)
CHECKER = ((52, 70, 150), (62, 82, 166))

# Logical rectangles (left, top, right, bottom) that the vertical and horizontal layouts give the
# controls of main.xml and msg_box.xml at 100 %.
MAIN_RECTS = {
    "min_btn": (540, 0, 570, 30), "close_btn": (570, 0, 600, 30),
    "install_btn": (211, 305, 389, 348), "qq_contact_btn": (225, 356, 375, 370),
    "agree_checkbox": (10, 373, 103, 390), "agreement_btn": (113, 373, 209, 390),
    "extend_btn": (512, 373, 590, 388), "path_label": (20, 424, 90, 444), "path_input": (90, 424, 495, 444),
    "browse_path_btn": (505, 423, 580, 447),
    "chips": ((199, 243, 261, 264), (269, 243, 331, 264), (339, 243, 401, 264)), "progress_num": (17, 348, 581, 373),
    "progress_bkg": (20, 378, 580, 385), "install_finish_btn": (211, 305, 389, 348),
}
MSGBOX_RECTS = {"msg_close_btn": (350, 0, 380, 30), "tips": (70, 60, 380, 87),
                "msg_ok_btn": (200, 152, 276, 180), "msg_cancel_btn": (291, 152, 367, 180)}
UNINSTALL_RECTS = {"close_btn": (570, 0, 600, 30), "confirm_tips": (0, 230, 600, 260),
                   "uninstall_continue_btn": (201, 290, 379, 333), "uninstall_ok_btn": (399, 290, 577, 333)}


def _font(px):
    return ImageFont.truetype(FONT_FILE, px, index=0, layout_engine=ImageFont.Layout.BASIC)


def _state(image, index, count=4, pane_h=None):
    pane_h = pane_h or image.height // count
    return image.crop((0, index * pane_h, image.width, (index + 1) * pane_h))


def _place(view, image, rect, source=None):
    if source:
        image = image.crop(source)
    x0, y0, x1, y1 = rect
    view.alpha_composite(image.convert("RGBA").resize((x1 - x0, y1 - y0), Image.LANCZOS), dest=(x0, y0))


def _label(view, rect, text, px, colour=(255, 255, 255), align="left", pad_left=0):
    d = ImageDraw.Draw(view)
    f = _font(px)
    x0, y0, x1, y1 = rect
    width = f.getlength(text)
    x = x0 + pad_left if align == "left" else (x1 - width - 3 if align == "right" else (x0 + x1 - width) / 2)
    d.text((x, (y0 + y1) / 2), text, font=f, fill=colour, anchor="lm")


def _checker(size, cell=8):
    img = Image.new("RGBA", size, CHECKER[0] + (255,))
    d = ImageDraw.Draw(img)
    for y in range(0, size[1], cell):
        for x in range(0, size[0], cell):
            if (x // cell + y // cell) % 2:
                d.rectangle([x, y, x + cell - 1, y + cell - 1], fill=CHECKER[1] + (255,))
    return img


def _view(images, background, height, extras):
    view = Image.new("RGBA", (600, height), (0, 0, 0, 0))
    _place(view, images[background], (0, 0, 600, height))
    _label(view, (0, 0, 400, 30), "Quillon V1.26.10.240 安装", 12, pad_left=10)
    _place(view, _state(images["button_minimize.png"], 0), MAIN_RECTS["min_btn"])
    for item in extras:
        item(view)
    return view


def _welcome(images, height, ticked=True, install_state=0, extend="button_customize_setup.png", hot_close=False):
    r = MAIN_RECTS

    def controls(view):
        _place(view, _state(images["button_close.png"], 1 if hot_close else 0), r["close_btn"])
        _place(view, _state(images["button_setup_or_next.png"], install_state), r["install_btn"])
        # The small texts are the controls' own, drawn by the window as text.
        _label(view, r["qq_contact_btn"], "遇到问题？加入用户交流群", 8, (222, 236, 255), align="center")
        _place(view, _state(images["checkbox_license.png"], 4 if ticked else 0, 8), r["agree_checkbox"])
        _label(view, r["agree_checkbox"], "我已阅读并同意", 10, (240, 244, 255), align="right")
        _label(view, r["agreement_btn"], "《用户协议》", 10, (168, 232, 255))
        for chip, words in zip(r["chips"], ("云端同步", "多端协作", "隐私加密")):
            _label(view, chip, words, 11, (240, 243, 255), align="center")
        _place(view, _state(images[extend], 0), r["extend_btn"])
        if height > 400:
            _label(view, r["path_label"], "安装位置", 12, (240, 243, 255))
            ImageDraw.Draw(view).rounded_rectangle(r["path_input"], radius=10, fill=(255, 255, 255, 36),
                                                   outline=(255, 255, 255, 200))
            _label(view, r["path_input"], r"C:\Program Files (x86)\vexor\Quillon", 12, pad_left=10)
            _place(view, _state(images["button_browse.png"], 0), r["browse_path_btn"])
    return _view(images, "background_welcome_more.png" if height > 400 else "background_welcome.png", height,
                 [controls])


def _installing(images):
    r = MAIN_RECTS

    def controls(view):
        _label(view, r["progress_num"], "37%", 16, align="right")
        _place(view, images["progressbar_background.png"], r["progress_bkg"])
        x0, y0, x1, y1 = r["progress_bkg"]
        _place(view, images["progressbar_foreground_.png"], (x0, y0, x0 + 207, y1))
    return _view(images, "background_installing.png", 400, [controls])


def _finish(images):
    def controls(view):
        _place(view, _state(images["button_close.png"], 0), MAIN_RECTS["close_btn"])
        _place(view, _state(images["button_finish.png"], 0), MAIN_RECTS["install_finish_btn"])
    return _view(images, "background_finish.png", 400, [controls])


def _msgbox(images, ok_state=0):
    view = Image.new("RGBA", (380, 190), (0, 0, 0, 0))
    _place(view, images["background_messagebox.png"], (0, 0, 380, 190))
    _label(view, (0, 0, 100, 30), "提示", 14, pad_left=15)
    _label(view, MSGBOX_RECTS["tips"], "您确定要退出“Quillon”安装程序？", 14)
    _place(view, _state(images["button_close.png"], 0), MSGBOX_RECTS["msg_close_btn"])
    _place(view, _state(images["button_ok.png"], ok_state), MSGBOX_RECTS["msg_ok_btn"])
    _place(view, _state(images["button_cancel.png"], 0), MSGBOX_RECTS["msg_cancel_btn"])
    return view


def _uninstall(images):
    view = Image.new("RGBA", (600, 400), (0, 0, 0, 0))
    r = UNINSTALL_RECTS
    _place(view, images["un_bg.png"], (0, 0, 600, 400))
    _label(view, (0, 0, 400, 30), "Quillon 卸载", 12, pad_left=10)
    _place(view, _state(images["un_cancle.png"], 0), r["close_btn"])
    _label(view, r["confirm_tips"], "确定要卸载 Quillon 吗？您的文档会保留在原处。", 14, align="center")
    _place(view, _state(images["un_continue.png"], 0), r["uninstall_continue_btn"])
    _place(view, _state(images["un_btn_ok.png"], 0), r["uninstall_ok_btn"])
    return view


def _asset_tile(name, image, max_w):
    """One image at logical size (a third), state strips turned into rows of states."""
    img = image.convert("RGBA")
    w, h = max(1, round(img.width / S)), max(1, round(img.height / S))
    if name.startswith("progressbar_background") or name.endswith(".bmp"):
        w, h = img.width, max(6, img.height)
    shown = img.resize((w, h), Image.LANCZOS)
    states = {"checkbox_license.png": 8, "button_auto_start.png": 8, "checkbox_setdefault.png": 8}
    count = states.get(name, 4 if ("button" in name or name.startswith("un_btn") or name in (
        "un_cancle.png", "un_continue.png", "un_done.png")) else 1)
    if count > 1 and "qq" not in name:
        pane_h = h // count
        panes = [shown.crop((0, i * pane_h, w, (i + 1) * pane_h)) for i in range(count)]
        row = Image.new("RGBA", (count * (w + 6), pane_h), (0, 0, 0, 0))
        for i, pane in enumerate(panes):
            row.alpha_composite(pane, dest=(i * (w + 6), 0))
        shown = row
    if shown.width > max_w:
        shown = shown.resize((max_w, max(1, round(shown.height * max_w / shown.width))), Image.LANCZOS)
    tile = Image.new("RGBA", (shown.width + 16, shown.height + 38), PAGE + (255,))
    back = _checker((shown.width, shown.height))
    back.alpha_composite(shown)
    tile.alpha_composite(back, dest=(8, 30))
    d = ImageDraw.Draw(tile)
    d.text((8, 6), f"{name}  {image.width}×{image.height}", font=_font(13), fill=(40, 44, 60))
    return tile


def contact_sheet(images):
    views = [
        ("欢迎", _welcome(images, 400)),
        ("欢迎 · 未勾选协议（安装按钮禁用）· 关闭悬停", _welcome(images, 400, ticked=False, install_state=3,
                                                    hot_close=True)),
        ("自定义安装", _welcome(images, 467, extend="button_uncustomize_setup.png")),
        ("正在安装 37%", _installing(images)),
        ("安装完成", _finish(images)),
        ("卸载（未使用）", _uninstall(images)),
    ]
    boxes = [("退出确认", _msgbox(images)), ("退出确认 · 确定悬停", _msgbox(images, ok_state=1))]
    margin, title_h, cols = 24, 26, 3
    view_w, view_h = 600, 467
    width = margin + cols * (view_w + margin)
    tiles = [_asset_tile(name, image, width - 2 * margin) for name, image in images.items()]
    # Asset tiles flow left to right in rows.
    rows, row, row_w = [], [], margin
    for tile in tiles:
        if row and row_w + tile.width + margin > width:
            rows.append(row)
            row, row_w = [], margin
        row.append(tile)
        row_w += tile.width + margin
    rows.append(row)
    views_h = 2 * (title_h + view_h + margin)
    boxes_h = title_h + 190 + margin
    assets_h = sum(max(t.height for t in r) + margin for r in rows)
    sheet = Image.new("RGBA", (width, margin + views_h + boxes_h + assets_h), PAGE + (255,))
    d = ImageDraw.Draw(sheet)
    for i, (title, view) in enumerate(views):
        x = margin + (i % cols) * (view_w + margin)
        y = margin + (i // cols) * (title_h + view_h + margin)
        d.text((x, y), title, font=_font(15), fill=(40, 44, 60))
        sheet.alpha_composite(view, dest=(x, y + title_h))
    y = margin + views_h
    for i, (title, view) in enumerate(boxes):
        x = margin + i * (view_w + margin)
        d.text((x, y), title, font=_font(15), fill=(40, 44, 60))
        sheet.alpha_composite(view, dest=(x, y + title_h))
    y += boxes_h
    for r in rows:
        x = margin
        for tile in r:
            sheet.alpha_composite(tile, dest=(x, y))
            x += tile.width + margin
        y += max(t.height for t in r) + margin
    return sheet.convert("RGB")
