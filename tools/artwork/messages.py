"""The window's translatable texts: source (Simplified Chinese), then en_US, zh_CN, ct_CN.

make_catalogues.py writes the .ts sources from this table; make_artwork.py takes the glyphs the
fonts must keep from the same table.
"""

# (source, en_US, zh_CN, ct_CN)
MESSAGES = [
    ("点击选项显示", "Click Item to Display", "点击选项显示", "點擊選項顯示"),
    ("CPU", "CPU", "CPU", "CPU"),
    ("GPU", "GPU", "GPU", "GPU"),
    ("温度", "Temperature", "温度", "溫度"),
    ("频率", "Frequency", "频率", "頻率"),
    ("使用率", "Usage", "使用率", "使用率"),
    ("风扇转速", "Fan Speed", "风扇转速", "風扇轉速"),
    ("显存占用", "Display RAM Usage", "显存占用", "顯存佔用"),
    ("无数据", "No Data", "无数据", "無數據"),
    ("MB(共享)", "MB(Shared)", "MB(共享)", "MB(共享)"),
    ("系统自启动", "Autostart", "系统自启动", "系統自啟動"),
    ("华氏度显示", "Display Fahrenheit", "华氏度显示", "華氏度顯示"),
    ("语言", "Language", "语言", "語言"),
]

# What only a screen reader says, in a context of its own ("access") beside "main": the window
# never draws these, so the fonts need not hold them.
ACCESS_MESSAGES = [
    ("关闭", "Close", "关闭", "關閉"),
    ("收起窗口", "Collapse Window", "收起窗口", "收起窗口"),
    ("显示屏已连接", "Display Connected", "显示屏已连接", "顯示屏已連接"),
    ("显示屏未连接", "Display Not Connected", "显示屏未连接", "顯示屏未連接"),
]

# catalogue file stem -> (language tag written into the file, column in MESSAGES)
CATALOGUES = {
    "zh_CN": ("zh_CN", 2),
    "ct_CN": ("yue_HK", 3),
    "en_US": ("en_US", 1),
}

# Texts shown as they are in every language.
FIXED_TEXTS = [
    "ZOLVEN", "Quit ZOLVEN", "ZOLVEN V",  # the footer adds the version, in ASCII
    "LOADING...", "SENSOR", "NO DATA",
    "℃", "℉", "MHz", "%", "RPM", "%(PWM)", " MB", "/",
    "简体中文", "繁体中文", "繁體中文", "English",
]
