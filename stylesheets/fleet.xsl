<?xml version="1.0" encoding="UTF-8"?>
<!--
  A fleet of inventories as one HTML page, one row per host. Its input is an
  index that cvfleet-page writes beside the inventories:

    <fleet>
      <host name="NAME" inventory="URI of NAME.xml" page="URI of NAME.html"
            failed="why the host has no usable inventory"
            history="how many dated inventories the host has"
            changes="URI of NAME.changes.xml" changes-page="URI of NAME.changes.html"/>
      ...
    </fleet>

  where every attribute but name may be missing. Inventory and change URIs
  are resolved against the index. The same rules as for one inventory hold: values are
  only ever text, and the page loads nothing.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:exsl="http://exslt.org/common" exclude-result-prefixes="exsl">
  <xsl:import href="inventory.xsl"/>
  <xsl:output method="html" encoding="UTF-8" indent="no" doctype-system="about:legacy-compat"/>

  <xsl:template match="/">
    <xsl:variable name="page">
      <xsl:call-template name="fleet-page"/>
    </xsl:variable>
    <xsl:apply-templates select="exsl:node-set($page)/node()" mode="clean"/>
  </xsl:template>

  <xsl:template name="fleet-page">
    <html lang="en">
      <xsl:call-template name="head">
        <xsl:with-param name="title" select="'Fleet inventory'"/>
      </xsl:call-template>
      <body>
        <h1>Fleet inventory</h1>
        <xsl:variable name="rows">
          <xsl:apply-templates select="fleet/host"/>
        </xsl:variable>
        <p>
          <span class="big" id="hosts"><xsl:value-of select="count(fleet/host)"/></span> hosts,
          <!-- An inventory that cannot be read is no better than none. -->
          <span class="big" id="failed"><xsl:value-of
            select="count(fleet/host[@failed or not(document(@inventory[. != ''], .)/CVLIN)])"/></span> failed
        </p>
        <table id="fleet">
          <thead>
            <tr><th>Host</th><th>Result</th><th>Containers</th><th>Running</th><th>Free disk</th>
              <th>Memory</th><th>Changes since last run</th><th>Taken</th><th>Kit</th><th>Warnings</th></tr>
          </thead>
          <tbody><xsl:copy-of select="$rows"/></tbody>
        </table>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="host">
    <xsl:variable name="inventory" select="document(@inventory[. != ''], .)/CVLIN"/>
    <xsl:variable name="host" select="."/>
    <tr>
      <td>
        <xsl:choose>
          <!-- The "./" keeps any name a relative link: never a scheme. -->
          <xsl:when test="@page != '' and $inventory"><a href="./{@page}"><xsl:value-of select="@name"/></a></xsl:when>
          <xsl:otherwise><xsl:value-of select="@name"/></xsl:otherwise>
        </xsl:choose>
      </td>
      <td>
        <xsl:choose>
          <xsl:when test="@failed"><span class="state-stopped">failed</span>: <xsl:value-of select="@failed"/></xsl:when>
          <xsl:when test="$inventory"><span class="state-running">ok</span></xsl:when>
          <xsl:otherwise><span class="state-stopped">no inventory</span></xsl:otherwise>
        </xsl:choose>
      </td>
      <xsl:choose>
        <xsl:when test="$inventory">
          <xsl:for-each select="$inventory">
            <td class="num"><xsl:call-template name="total-containers"/></td>
            <td class="num"><xsl:call-template name="running-containers"/></td>
            <td class="num"><xsl:call-template name="free-disk"/></td>
            <td><xsl:call-template name="memory"/></td>
            <xsl:call-template name="changes-cell"><xsl:with-param name="host" select="$host"/></xsl:call-template>
            <td><xsl:call-template name="or-dash"><xsl:with-param name="value" select="@time"/></xsl:call-template></td>
            <td><xsl:call-template name="or-dash"><xsl:with-param name="value" select="@version"/></xsl:call-template></td>
            <td>
              <xsl:variable name="warnings"><xsl:call-template name="warnings"/></xsl:variable>
              <xsl:if test="string($warnings) != ''"><ul class="warn"><xsl:copy-of select="$warnings"/></ul></xsl:if>
            </td>
          </xsl:for-each>
        </xsl:when>
        <xsl:otherwise>
          <td></td><td></td><td></td><td></td>
          <xsl:call-template name="changes-cell"><xsl:with-param name="host" select="."/></xsl:call-template>
          <td></td><td></td>
          <td>
            <xsl:if test="@inventory != ''">
              <ul class="warn"><li>The inventory <xsl:value-of select="@inventory"/> could not be read.</li></ul>
            </xsl:if>
          </td>
        </xsl:otherwise>
      </xsl:choose>
    </tr>
  </xsl:template>

  <!-- What changed between the host's last two inventories: its summary,
       linking the change page, or why they could not be compared; a host
       with one inventory so far is on its first run. -->
  <xsl:template name="changes-cell">
    <xsl:param name="host"/>
    <xsl:variable name="summary" select="document($host/@changes[. != ''], $host)/cvchanges/summary"/>
    <td class="changes">
      <xsl:choose>
        <xsl:when test="$host/@changes-failed != ''">
          <xsl:text>not compared: </xsl:text><xsl:value-of select="$host/@changes-failed"/>
        </xsl:when>
        <xsl:when test="$summary and $host/@changes-page != ''">
          <a href="./{$host/@changes-page}"><xsl:value-of select="$summary"/></a>
        </xsl:when>
        <xsl:when test="$summary"><xsl:value-of select="$summary"/></xsl:when>
        <xsl:when test="$host/@history &gt; 1">none</xsl:when>
        <xsl:otherwise>first run</xsl:otherwise>
      </xsl:choose>
    </td>
  </xsl:template>

  <xsl:template name="or-dash">
    <xsl:param name="value"/>
    <xsl:choose>
      <xsl:when test="string($value) != ''"><xsl:value-of select="$value"/></xsl:when>
      <xsl:otherwise>-</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- What the platform's containers have left: the file system mounted at
       /var/lib/cv, or else the root file system. -->
  <xsl:template name="free-disk">
    <xsl:variable name="cv">
      <xsl:call-template name="each-line">
        <xsl:with-param name="text" select="NODE/DiskSpaceUsage"/>
        <xsl:with-param name="what" select="'df-avail'"/>
        <xsl:with-param name="arg" select="'/var/lib/cv'"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:variable name="root">
      <xsl:call-template name="each-line">
        <xsl:with-param name="text" select="NODE/DiskSpaceUsage"/>
        <xsl:with-param name="what" select="'df-avail'"/>
        <xsl:with-param name="arg" select="'/'"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="string($cv) != ''">
        <xsl:call-template name="kib"><xsl:with-param name="value" select="string($cv)"/></xsl:call-template> on /var/lib/cv
      </xsl:when>
      <xsl:when test="string($root) != ''">
        <xsl:call-template name="kib"><xsl:with-param name="value" select="string($root)"/></xsl:call-template> on /
      </xsl:when>
      <xsl:otherwise><span class="muted">unknown</span></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="memory">
    <xsl:variable name="free">
      <xsl:call-template name="each-line">
        <xsl:with-param name="text" select="NODE/MemoryUsage"/>
        <xsl:with-param name="what" select="'mem-free'"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:call-template name="or-unknown"><xsl:with-param name="value" select="NODE/hardware/ram"/></xsl:call-template>
    <xsl:if test="string($free) != ''">
      <xsl:text>, </xsl:text>
      <xsl:call-template name="kib"><xsl:with-param name="value" select="string($free)"/></xsl:call-template>
      <xsl:text> free</xsl:text>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
