<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
<context>
    <name>Probe</name>
    <message>
        <source>catalogue</source>
        <translation>ct_CN</translation>
    </message>
    <message>
        <source>你好</source>
        <translation>妳好</translation>
    </message>
</context>
</TS>
